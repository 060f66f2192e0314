#include "app/CommandLine.h"
#include "forms/ErrorReporter.h"
#include "scan/SharedState.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {
namespace {

using Action = CommandLine::Action;

QStringList argumentsOf(const std::vector<std::string>& raw)
{
    QStringList arguments{QStringLiteral("lmvo")};
    for (const std::string& a : raw)
        arguments << decodeArgument(QByteArray::fromStdString(a));
    return arguments;
}

enum Flag : unsigned { Loop = 1, Music = 2, TopOnly = 4, Shuffle = 8, Keep = 16 };

struct ParseCase {
    const char* name;
    std::vector<std::string> args;
    Action action;
    std::string folder;   // Show: the picture folder's bytes; BadArgument: a part of the line
    std::string music = {};
    const char* interval = "6";
    unsigned flags = 0;
    const char* screen = "";
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ReadsTheChoicesOrSaysWhatIsWrong)
{
    const ParseCase& c = GetParam();
    const CommandLine line = parseCommandLine(argumentsOf(c.args));
    ASSERT_EQ(line.action, c.action) << line.error.toStdString();
    if (c.action == Action::BadArgument) {
        EXPECT_TRUE(line.error.contains(QString::fromStdString(c.folder))) << line.error.toStdString();
        EXPECT_FALSE(line.error.contains(u'\n'));
        return;
    }
    if (c.action != Action::Show)
        return;
    const ShowChoices& s = line.choices;
    EXPECT_EQ(s.pictureFolder, c.folder);
    EXPECT_EQ(s.musicFolder, c.music);
    EXPECT_EQ(s.interval, QString::fromUtf8(c.interval));
    EXPECT_EQ(s.loop, bool(c.flags & Loop));
    EXPECT_EQ(s.music, bool(c.flags & Music));
    EXPECT_EQ(s.subfolders, c.flags & TopOnly ? Subfolders::Excluded : Subfolders::Included);
    EXPECT_EQ(s.shuffle, bool(c.flags & Shuffle));
    EXPECT_EQ(s.keepProportions, bool(c.flags & Keep));
    EXPECT_EQ(s.screen, QString::fromUtf8(c.screen));
}

INSTANTIATE_TEST_SUITE_P(, ParseTest, testing::Values(
    ParseCase{"NoArguments", {}, Action::Settings, ""},
    ParseCase{"Help", {"--help"}, Action::Help, ""},
    ParseCase{"HelpWinsOverAFolder", {"-h", "/p", "/q"}, Action::Help, ""},
    ParseCase{"Version", {"--version"}, Action::Version, ""},
    ParseCase{"FolderOnly", {"/p"}, Action::Show, "/p"},
    ParseCase{"EveryOption", {"--interval", "30", "--loop", "--music", "/m", "--no-subfolders", "--shuffle",
                              "--keep-aspect", "/p"},
              Action::Show, "/p", "/m", "30", Loop | Music | TopOnly | Shuffle | Keep},
    ParseCase{"OptionsAfterTheFolder", {"/p", "--interval=60", "--loop"}, Action::Show, "/p", "", "60", Loop},
    ParseCase{"DashedFolderAfterDoubleDash", {"--", "-p"}, Action::Show, "-p"},
    ParseCase{"NotUtf8", {"/\xff\xfe/caf\xc3\xa9", "--music", "/m\x80"}, Action::Show, "/\xff\xfe/caf\xc3\xa9",
              "/m\x80", "6", Music},
    ParseCase{"IntervalZero", {"--interval", "0", "/p"}, Action::BadArgument, "“0”"},
    ParseCase{"IntervalAbove", {"--interval", "61", "/p"}, Action::BadArgument, "“61”"},
    ParseCase{"IntervalNegative", {"--interval", "-5", "/p"}, Action::BadArgument, "“-5”"},
    ParseCase{"IntervalNotANumber", {"--interval=abc", "/p"}, Action::BadArgument, "“abc”"},
    ParseCase{"IntervalMissing", {"/p", "--interval"}, Action::BadArgument, "--interval"},
    ParseCase{"TwoFolders", {"/p", "/q"}, Action::BadArgument, "2"},
    ParseCase{"EmptyFolder", {""}, Action::BadArgument, "为空"},
    ParseCase{"EmptyMusicFolder", {"--music=", "/p"}, Action::BadArgument, "--music"},
    ParseCase{"OptionsWithoutFolder", {"--loop"}, Action::BadArgument, "--help"},
    ParseCase{"UnknownOption", {"--fast", "/p"}, Action::BadArgument, "fast"},
    ParseCase{"QtOptionsAreQts", {"-platform", "offscreen", "--style=fusion", "-session", "1a2b", "-reverse", "/p", "--loop"},
              Action::Show, "/p", "", "6", Loop},
    ParseCase{"QtOptionsAloneOpenTheSettings", {"-platform", "xcb", "-display", ":1"}, Action::Settings, ""},
    ParseCase{"QtOptionNameAfterDoubleDashIsAFolder", {"--", "-style"}, Action::Show, "-style"},
    ParseCase{"ScreenByNumber", {"--screen", "2", "/p"}, Action::Show, "/p", "", "6", 0, "2"},
    ParseCase{"ScreenByName", {"--screen=HDMI-1", "/p"}, Action::Show, "/p", "", "6", 0, "HDMI-1"},
    ParseCase{"EmptyScreen", {"--screen=", "/p"}, Action::BadArgument, "--screen"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ArgumentBytes, SurviveTheParserUnchanged)
{
    for (const char* bytes : {"plain", "caf\xc3\xa9 \xe7\x85\xa7", "\xff", "\xc3", "\xed\xa0\x80", "\xf0\x9f\x98\x80x",
                              "\xc0\xaf", "\xf4\x90\x80\x80"})
        EXPECT_EQ(nativeBytes(decodeArgument(QByteArray::fromStdString(bytes))), bytes);
}

// ---------------------------------------------------------------------------------------------

class CountingShow final : public SlideShow {
public:
    explicit CountingShow(int& shown) : shown_(shown) {}
    void SetTimerInterval(int) override {}
    void ShowModal() override { ++shown_; }
    void StopTimer() override {}

private:
    int& shown_;
};

class SilentPlayer final : public AudioPlayer {
public:
    void open(const std::string&) override { open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void play() override {}
    void stop() override {}
    std::int64_t length() override { return 1000; }
    std::int64_t position() override { return 0; }

private:
    bool open_ = false;
};

class Boxes final : public MessageBoxes {
public:
    void show(QWidget*, const MessageBoxRequest& box) override { shown.push_back(box); }
    std::vector<MessageBoxRequest> shown;
};

struct RunCase {
    const char* name;
    std::vector<std::string> args; // "@" stands for the test's folder
    int exit;
    const char* line;   // expected on standard error ("@" as above); nullptr: none
    bool notice = false; // the settings window's notice box rather than the error box
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class RunTest : public testing::TestWithParam<RunCase> {
protected:
    void SetUp() override
    {
        setMessageBoxes(&boxes);
        // Made from bytes: one folder name is not UTF-8.
        const std::string& base = root.path();
        for (const char* folder : {"/pictures", "/\xff", "/empty", "/music", "/locked"})
            ::mkdir((base + folder).c_str(), 0755);
        for (const char* file : {"/pictures/a.jpg", "/\xff/b.jpg", "/music/x.txt", "/locked/c.jpg"})
            ::close(::creat((base + file).c_str(), 0644));
        ::chmod((root.path() + "/locked").c_str(), 0);
    }
    void TearDown() override
    {
        setMessageBoxes(nullptr);
    }
    std::string at(const std::string& text) const
    {
        std::string out = text;
        if (const auto pos = out.find('@'); pos != std::string::npos)
            out.replace(pos, 1, root.path());
        return out;
    }

    TempDir root;
    Boxes boxes;
};

TEST_P(RunTest, ShowsOrExplainsInABoxAndOnStandardError)
{
    const RunCase& c = GetParam();
    if (std::string(c.name) == "Unreadable" && ::geteuid() == 0)
        GTEST_SKIP() << "root opens every folder";
    std::vector<std::string> args;
    for (const std::string& a : c.args)
        args.push_back(at(a));
    const CommandLine line = parseCommandLine(argumentsOf(args));
    ASSERT_EQ(line.action, Action::Show);

    SilentPlayer player;
    int shown = 0;
    ShowStarter starter(player, [&](const QString&) { return std::make_unique<CountingShow>(shown); }, reportError);
    QStringList printed;
    EXPECT_EQ(runCommandLineShow(starter, line.choices, [&](const QString& l) { printed << l; }), c.exit);
    EXPECT_EQ(shown, c.exit == ExitShown ? 1 : 0) << "nothing starts half-way";
    if (!c.line) {
        EXPECT_TRUE(printed.isEmpty() && boxes.shown.empty());
        return;
    }
    ASSERT_EQ(printed.size(), 1);
    EXPECT_EQ(printed[0], QFile::decodeName(QByteArray::fromStdString(at(c.line))));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(printed[0].endsWith(boxes.shown[0].text) || boxes.shown[0].text == printed[0] + u'.');
    EXPECT_EQ(boxes.shown[0].caption, c.notice ? noticeCaption() : applicationTitle());
}

INSTANTIATE_TEST_SUITE_P(, RunTest, testing::Values(
    RunCase{"Pictures", {"@/pictures"}, ExitShown, nullptr},
    RunCase{"NotUtf8Folder", {"@/\xff"}, ExitShown, nullptr},
    RunCase{"Missing", {"@/gone"}, ExitRefused, "找不到文件夹“@/gone”(File not found)"},
    RunCase{"AFile", {"@/pictures/a.jpg"}, ExitRefused, "“@/pictures/a.jpg”不是文件夹(Invalid filename)"},
    RunCase{"Unreadable", {"@/locked"}, ExitRefused, "没有权限打开文件夹“@/locked”(File access denied)"},
    RunCase{"NoPictures", {"@/empty"}, ExitRefused, "@/empty: 该文件夹下没有需要播放的JPG格式图片！", true},
    RunCase{"PicturesOnlyBelow", {"--no-subfolders", "@"}, ExitRefused,
            "@: 该文件夹下没有需要播放的JPG格式图片！", true},
    RunCase{"MusicFolderWithoutMusic", {"--music", "@/music", "@/pictures"}, ExitRefused,
            "@/music: 该文件夹下没有音乐文件！", true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace lmvo
