#include "forms/ErrorReporter.h"
#include "forms/FolderChooser.h"
#include "forms/Ulmvo.h"
#include "forms/ufrm_about.h"
#include "scan/SharedState.h"
#include "tests/ParamName.h"
#include "tests/forms/OffscreenScreens.h"
#include "tests/support/AwaitEvents.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QEnterEvent>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QStringList>
#include <QTemporaryDir>
#include <QValidator>

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace lmvo {
namespace {

// Answers the chooser from a script and records where each dialog opened.
class ScriptedChooser final : public FolderChooser {
public:
    explicit ScriptedChooser(QStringList answers) : answers_(std::move(answers)) {}
    ScriptedChooser& operator=(const ScriptedChooser&) = default;
    std::vector<std::pair<QString, QString>> asked; // title, start folder

protected:
    QString ask(QWidget*, const QString& title, const QString& start) override
    {
        asked.emplace_back(title, start);
        return answers_.isEmpty() ? QString() : answers_.takeFirst();
    }

private:
    QStringList answers_;
};

TEST(FolderChooserTest, CancelBeforeAnyChoiceYieldsNothing)
{
    ScriptedChooser chooser({QString()});
    EXPECT_EQ(chooser.choose(nullptr), QString());
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].first, QStringLiteral("Browse for Folder"));
    EXPECT_EQ(chooser.asked[0].second, QString());
}

TEST(FolderChooserTest, OpensAtTheLastSelectionAndYieldsItAfterCancel)
{
    ScriptedChooser chooser({QStringLiteral("/pictures"), QString(), QStringLiteral("/music")});
    EXPECT_EQ(chooser.choose(nullptr), QStringLiteral("/pictures"));
    EXPECT_EQ(chooser.choose(nullptr), QStringLiteral("/pictures")) << "Cancel keeps the last";
    EXPECT_EQ(chooser.choose(nullptr), QStringLiteral("/music"));
    ASSERT_EQ(chooser.asked.size(), 3u);
    EXPECT_EQ(chooser.asked[1].second, QStringLiteral("/pictures"));
    EXPECT_EQ(chooser.asked[2].second, QStringLiteral("/pictures"));
    EXPECT_EQ(chooser.selectedFolder(), QStringLiteral("/music"));
}

struct Formatted {
    int value;
    const char* text;
};

class FormatIntervalTest : public ::testing::TestWithParam<Formatted> {};

TEST_P(FormatIntervalTest, ThousandsSeparatedWithNegativesInParentheses)
{
    EXPECT_EQ(formatInterval(GetParam().value), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(, FormatIntervalTest,
                         ::testing::Values(Formatted{6, "6"}, Formatted{0, "0"}, Formatted{999, "999"},
                                           Formatted{1234, "1,234"}, Formatted{1234567, "1,234,567"},
                                           Formatted{-5, "(5)"}, Formatted{-1000, "(1,000)"},
                                           Formatted{INT_MIN, "(2,147,483,648)"}),
                         [](const auto& info) { return test::testName(std::to_string(info.param.value)); });

TEST(ParseIntervalTest, ReadsSignedIntegersOnly)
{
    EXPECT_EQ(parseInterval(QStringLiteral("6")), 6);
    EXPECT_EQ(parseInterval(QStringLiteral("+7")), 7);
    EXPECT_EQ(parseInterval(QStringLiteral("-3")), -3);
    EXPECT_EQ(parseInterval(QStringLiteral("1,000")), 1000);
    for (const char* bad : {"", "-", "abc", "6s", " 6", "99999999999", "(6)"})
        EXPECT_FALSE(parseInterval(QString::fromUtf8(bad)).has_value()) << bad;
}

// A player that only records what it is asked.
class RecordingPlayer final : public AudioPlayer {
public:
    void open(const std::string& path) override
    {
        opens.push_back(path);
        current = true;
    }
    void close() override { current = false; }
    bool isOpen() const override { return current; }
    void play() override { ++plays; }
    void stop() override { ++stops; }
    std::int64_t length() override { return 1000; }
    std::int64_t position() override { return 0; }

    std::vector<std::string> opens;
    bool current = false;
    int plays = 0;
    int stops = 0;
};

struct ShowLog {
    bool failCreate = false;
    int created = 0;
    int destroyed = 0;
    int shown = 0;
    int stopped = 0;
    int interval = -1;
    QString screen; // as the show was asked for it
    std::function<void()> during;
};

class FakeShow final : public SlideShow {
public:
    explicit FakeShow(ShowLog& log) : log_(log)
    {
        if (log_.failCreate)
            throw std::runtime_error("no window");
        ++log_.created;
    }
    ~FakeShow() override { ++log_.destroyed; }
    void SetTimerInterval(int ms) override { log_.interval = ms; }
    void ShowModal() override
    {
        ++log_.shown;
        if (log_.during)
            log_.during();
    }
    void StopTimer() override { ++log_.stopped; }

private:
    ShowLog& log_;
};

class RecordingBoxes final : public MessageBoxes {
public:
    void show(QWidget*, const MessageBoxRequest& box) override { boxes.push_back(box); }
    std::vector<MessageBoxRequest> boxes;
};

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        setMessageBoxes(&boxes);
        setUrlOpener([this](const QUrl& url) { opened.push_back(url); });
        window = std::make_unique<Tfrm_lmvo>(SettingsServices{
            &player, &chooser, [this](const QString& screen) {
                shows.screen = screen;
                return std::make_unique<FakeShow>(shows);
            }});
    }
    void TearDown() override
    {
        window.reset();
        setMessageBoxes(nullptr);
        setUrlOpener({});
    }

    // A folder under the test's root holding the named (empty) files.
    QString folder(const char* name, const QStringList& files)
    {
        const QString path = root.filePath(QString::fromUtf8(name));
        QDir().mkpath(path);
        for (const QString& file : files) {
            QFile f(path + u'/' + file);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        }
        return path;
    }
    // The window's controls, found by their object names.
    struct Controls {
        QWidget* window;
        template <typename T> T* find(const char* name) const
        {
            T* control = window->findChild<T*>(QString::fromLatin1(name));
            EXPECT_NE(control, nullptr) << name;
            return control;
        }
        QLineEdit* e_imagedir = find<QLineEdit>("e_imagedir");
        QLineEdit* e_musicdir = find<QLineEdit>("e_musicdir");
        QLineEdit* interupttime = find<QLineEdit>("interupttime");
        QCheckBox* cb_usemusic = find<QCheckBox>("cb_usemusic");
        QCheckBox* cb_circle = find<QCheckBox>("cb_circle");
        QCheckBox* cb_image_subdir = find<QCheckBox>("cb_image_subdir");
        QCheckBox* cb_music_subdir = find<QCheckBox>("cb_music_subdir");
        QPushButton* btn_imagedir = find<QPushButton>("btn_imagedir");
        QPushButton* btn_musicdir = find<QPushButton>("btn_musicdir");
        QPushButton* btn_play = find<QPushButton>("btn_play");
        QLabel* l_info = find<QLabel>("l_info");
    };
    Controls& ui()
    {
        if (!controls)
            controls = std::make_unique<Controls>(Controls{window.get()});
        return *controls;
    }
    void play()
    {
        ui().btn_play->click();
        QCoreApplication::processEvents(); // queued error boxes
    }
    void focusOut()
    {
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(ui().interupttime, &out);
    }

    QTemporaryDir root;
    RecordingBoxes boxes;
    RecordingPlayer player;
    ScriptedChooser chooser{{}};
    ShowLog shows;
    std::vector<QUrl> opened;
    std::unique_ptr<Tfrm_lmvo> window;
    std::unique_ptr<Controls> controls;
};

enum class Folder { None, Blank, Empty, Pictures, Music, Mixed };

struct PlayCase {
    const char* name;
    Folder pictures;
    bool musicOn;
    Folder music;
    const char* notice; // nullptr: the show runs
};

class PlayChecksTest : public SettingsWindowTest, public ::testing::WithParamInterface<PlayCase> {
protected:
    QString make(Folder kind)
    {
        switch (kind) {
        case Folder::None: return QString();
        case Folder::Blank: return QStringLiteral(" \t ");
        case Folder::Empty: return folder("empty", {});
        case Folder::Pictures: return folder("pictures", {QStringLiteral("a.jpg"), QStringLiteral("b.JPEG")});
        case Folder::Music: return folder("music", {QStringLiteral("a.mp3")});
        case Folder::Mixed: return folder("mixed", {QStringLiteral("a.jpg"), QStringLiteral("b.wav")});
        }
        return QString();
    }
};

TEST_P(PlayChecksTest, ReportsTheFirstMissingChoiceOrRunsTheShow)
{
    ui().e_imagedir->setText(make(GetParam().pictures));
    ui().e_musicdir->setText(make(GetParam().music));
    ui().cb_usemusic->setChecked(GetParam().musicOn);
    play();
    if (!GetParam().notice) {
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text.toStdString();
        EXPECT_EQ(shows.shown, 1);
        return;
    }
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QString::fromUtf8(GetParam().notice));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("请注意"));
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
    EXPECT_EQ(shows.created, 0);
    EXPECT_TRUE(player.opens.empty());
}

INSTANTIATE_TEST_SUITE_P(
    , PlayChecksTest,
    ::testing::Values(
        PlayCase{"NoPictureFolder", Folder::None, false, Folder::None, "请选择图片所在的文件夹！"},
        PlayCase{"BlankPictureFolder", Folder::Blank, true, Folder::None, "请选择图片所在的文件夹！"},
        PlayCase{"NoMusicFolder", Folder::Pictures, true, Folder::Blank, "请选择背景音乐所在的文件夹！"},
        PlayCase{"NoPictures", Folder::Empty, false, Folder::Empty, "该文件夹下没有需要播放的JPG格式图片！"},
        PlayCase{"NoMusic", Folder::Pictures, true, Folder::Pictures, "该文件夹下没有音乐文件！"},
        PlayCase{"MusicOffNeedsNoMusic", Folder::Pictures, false, Folder::Pictures, nullptr},
        PlayCase{"MusicOn", Folder::Mixed, true, Folder::Music, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsWindowTest, MusicPlaysDuringTheShowAndStopsAfterIt)
{
    ui().e_imagedir->setText(folder("pictures", {QStringLiteral("a.jpg")}));
    ui().e_musicdir->setText(folder("music", {QStringLiteral("a.mp3"), QStringLiteral("b.mp3")}));
    ui().cb_usemusic->setChecked(true);
    ui().cb_circle->setChecked(true);
    bool pollDuringShow = false;
    shows.during = [&] {
        pollDuringShow = window->music().enabled();
        EXPECT_EQ(LoopPlay, 1);
        EXPECT_EQ(PictureFiles.size(), 1u);
        EXPECT_EQ(player.stops, 0);
    };
    play();
    ASSERT_EQ(player.opens.size(), 1u);
    EXPECT_EQ(QFileInfo(QString::fromStdString(player.opens[0])).fileName(), QStringLiteral("a.mp3"));
    EXPECT_EQ(player.plays, 1);
    EXPECT_TRUE(pollDuringShow);
    EXPECT_FALSE(window->music().enabled());
    EXPECT_EQ(player.stops, 1);
    EXPECT_EQ(shows.interval, 6000);
    EXPECT_EQ(shows.stopped, 1);
    EXPECT_EQ(shows.destroyed, 1);
    EXPECT_TRUE(PictureFiles.empty()) << "the window closed and freed the lists";
}

TEST_F(SettingsWindowTest, MusicOffNeverTouchesThePlayer)
{
    ui().e_imagedir->setText(folder("mixed", {QStringLiteral("a.jpg"), QStringLiteral("b.mp3")}));
    ui().e_musicdir->setText(ui().e_imagedir->text());
    bool pollDuringShow = true;
    shows.during = [&] { pollDuringShow = window->music().enabled(); };
    play();
    EXPECT_EQ(shows.shown, 1);
    EXPECT_FALSE(pollDuringShow);
    EXPECT_TRUE(player.opens.empty());
    EXPECT_EQ(player.stops, 0);
}

TEST_F(SettingsWindowTest, MusicFolderThatCannotBeEnteredStopsTheShowEvenWithMusicOff)
{
    ui().e_imagedir->setText(folder("pictures", {QStringLiteral("a.jpg")}));
    ui().e_musicdir->setText(root.filePath(QStringLiteral("gone")));
    play();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, applicationTitle());
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("找不到文件夹“%1”(File not found)").arg(root.filePath(QStringLiteral("gone"))));
    EXPECT_EQ(shows.created, 0);
}

TEST_F(SettingsWindowTest, KeepProportionsBoxIsOffByDefaultAndReachesTheShow)
{
    ui().e_imagedir->setText(folder("pictures", {QStringLiteral("a.jpg")}));
    ui().e_musicdir->setText(ui().e_imagedir->text());
    auto* box = ui().find<QCheckBox>("cb_keepratio");
    EXPECT_FALSE(box->isChecked());
    for (bool keep : {true, false}) {
        box->setChecked(keep);
        shows.during = [&] { EXPECT_EQ(KeepProportions, keep); };
        play();
    }
    EXPECT_EQ(shows.shown, 2);
}

TEST_F(SettingsWindowTest, IntervalTypedWithoutLeavingTheEditIsBroughtIntoRange)
{
    ui().e_imagedir->setText(folder("pictures", {QStringLiteral("a.jpg")}));
    ui().e_musicdir->setText(ui().e_imagedir->text());
    ui().interupttime->setText(QStringLiteral("100"));
    play();
    EXPECT_EQ(shows.interval, 60000);
}

TEST_F(SettingsWindowTest, FailedIntervalLeavesNothingRunning)
{
    ui().e_imagedir->setText(folder("mixed", {QStringLiteral("a.jpg"), QStringLiteral("b.mp3")}));
    ui().e_musicdir->setText(ui().e_imagedir->text());
    ui().cb_usemusic->setChecked(true);
    ui().interupttime->setText(QString());
    play();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("'' is not a valid integer value."));
    EXPECT_EQ(shows.created, 1);
    EXPECT_EQ(shows.destroyed, 1) << "the unseen show window is destroyed at once";
    EXPECT_EQ(shows.shown, 0);
    EXPECT_FALSE(window->music().enabled());
    EXPECT_EQ(player.stops, 1);
}

TEST_F(SettingsWindowTest, FailedShowWindowStopsTheMusic)
{
    ui().e_imagedir->setText(folder("mixed", {QStringLiteral("a.jpg"), QStringLiteral("b.mp3")}));
    ui().e_musicdir->setText(ui().e_imagedir->text());
    ui().cb_usemusic->setChecked(true);
    shows.failCreate = true;
    play();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("no window."));
    EXPECT_FALSE(window->music().enabled());
    EXPECT_EQ(player.stops, 1);
}

struct FocusCase {
    const char* typed;
    const char* shown;
};

class IntervalEditTest : public SettingsWindowTest, public ::testing::WithParamInterface<FocusCase> {};

TEST_P(IntervalEditTest, LeavingTheEditAppliesTheRange)
{
    ui().interupttime->setText(QString::fromUtf8(GetParam().typed));
    focusOut();
    EXPECT_EQ(ui().interupttime->text(), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(, IntervalEditTest,
                         ::testing::Values(FocusCase{"100", "60"}, FocusCase{"3", "6"},
                                           FocusCase{"-20", "6"}, FocusCase{"", "6"},
                                           FocusCase{"+", "6"}, FocusCase{"30", "30"},
                                           FocusCase{"60", "60"}),
                         [](const auto& info) {
                             const std::string typed = *info.param.typed ? info.param.typed : "nothing";
                             return test::testName(typed + " gives " + info.param.shown);
                         });

TEST_F(SettingsWindowTest, IntervalEditAcceptsDigitsAndALeadingSignOnly)
{
    const QValidator* validator = ui().interupttime->validator();
    ASSERT_NE(validator, nullptr);
    for (const char* ok : {"100", "-5", "+", ""}) {
        QString text = QString::fromUtf8(ok);
        int pos = 0;
        EXPECT_NE(validator->validate(text, pos), QValidator::Invalid) << ok;
    }
    for (const char* bad : {"1a", "5-", "1.5", "1 0"}) {
        QString text = QString::fromUtf8(bad);
        int pos = 0;
        EXPECT_EQ(validator->validate(text, pos), QValidator::Invalid) << bad;
    }
    EXPECT_EQ(ui().interupttime->text(), QStringLiteral("6"));
}

TEST_F(SettingsWindowTest, PictureFolderAlsoFillsAnEmptyMusicFolder)
{
    chooser = ScriptedChooser({QStringLiteral("/p1"), QStringLiteral("/p2"), QString()});
    ui().btn_imagedir->click();
    EXPECT_EQ(ui().e_imagedir->text(), QStringLiteral("/p1"));
    EXPECT_EQ(ui().e_musicdir->text(), QStringLiteral("/p1"));
    ui().btn_imagedir->click();
    EXPECT_EQ(ui().e_imagedir->text(), QStringLiteral("/p2"));
    EXPECT_EQ(ui().e_musicdir->text(), QStringLiteral("/p1"));
    ui().btn_musicdir->click(); // cancelled: the last selection of either button
    EXPECT_EQ(ui().e_musicdir->text(), QStringLiteral("/p2"));
}

TEST_F(SettingsWindowTest, CancelledChooserBeforeAnyChoiceLeavesThePictureFolderEmpty)
{
    chooser = ScriptedChooser({QString()});
    ui().btn_imagedir->click();
    EXPECT_EQ(ui().e_imagedir->text(), QString());
    play();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("请选择图片所在的文件夹！"));
}

TEST_F(SettingsWindowTest, HomePageLinkUnderlinesAndOpens)
{
    QLabel* link = ui().l_info;
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(link, &enter);
    EXPECT_TRUE(link->font().underline());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(link, &leave);
    EXPECT_FALSE(link->font().underline());
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(link, &release);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://lumivo.example/")));
}

TEST_F(SettingsWindowTest, EscapeDoesNotEndTheProgram)
{
    window->show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &escape);
    EXPECT_TRUE(window->isVisible());
}

// The drop-down of screens appears only while two are connected; it shows the window's screen
// until the user picks another, and the show fills the one it shows.
TEST_F(SettingsWindowTest, ScreenDropDownOnlyWithTwoScreensAndItsScreenReachesTheShow)
{
    const test::OffscreenScreens screens;
    if (!screens.settable())
        GTEST_SKIP() << "the platform's screens cannot be set";
    auto* box = ui().find<QComboBox>("cb_screen");
    ui().e_imagedir->setText(folder("pictures", {QStringLiteral("a.jpg")}));
    ui().e_musicdir->setText(ui().e_imagedir->text());
    const auto shownOn = [&] { play(); window->show(); return shows.screen; };
    window->show();
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(shownOn(), QStringLiteral("1"));
    screens.plug({test::kLaptop, test::kMonitor});
    window->move(test::kLaptop.geometry.topLeft() + QPoint(50, 50));
    ASSERT_TRUE(awaitEvents([&] { return box->isVisible() && box->currentIndex() == 1; }));
    EXPECT_EQ(box->itemText(0), QStringLiteral("1: HDMI-1"));
    EXPECT_EQ(shownOn(), QStringLiteral("2"));
    emit box->activated(0);
    EXPECT_EQ(shownOn(), QStringLiteral("1"));
    screens.plug({test::kLaptop});
    EXPECT_FALSE(box->isVisible());
}

TEST_F(SettingsWindowTest, ControlsStandWhereTheWindowDefinitionPutsThem)
{
    EXPECT_EQ(window->size(), QSize(522, 311));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Lumivo"));
    EXPECT_EQ(ui().interupttime->geometry(), QRect(312, 81, 65, 25));
    EXPECT_EQ(ui().btn_play->text(), QStringLiteral("播放(&P)"));
    EXPECT_EQ(ui().btn_play->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(ui().cb_image_subdir->isChecked());
    EXPECT_TRUE(ui().cb_music_subdir->isChecked());
    EXPECT_FALSE(ui().cb_usemusic->isChecked());
    EXPECT_TRUE(ui().e_imagedir->isReadOnly());
    EXPECT_EQ(ui().interupttime->alignment() & Qt::AlignRight, Qt::AlignRight);
}

} // namespace
} // namespace lmvo
