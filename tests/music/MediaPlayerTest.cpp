#include "music/MediaPlayer.h"
#include "music/MusicPoll.h"

#include "tests/support/AwaitEvents.h"
#include "tests/support/TestSounds.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lmvo {
namespace {

// Calls `step` every 20 ms until `done` holds or a generous bound passes; playback runs in
// real time, so waiting is what these tests are about.
template <typename Done, typename Step>
bool waitUntil(Done done, Step step, int boundMs = 8000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        step();
        QThread::msleep(20);
    }
    return true;
}

class MediaPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("LMVO_AUDIO_OUTPUT", "null", 1);
        ASSERT_TRUE(dir.isValid());
    }
    std::string file(const char* name) { return dir.filePath(QString::fromUtf8(name)).toStdString(); }
    std::string wav(const char* name, int ms)
    {
        std::string path = file(name);
        writeWav(path, ms);
        return path;
    }
    std::string midi(const char* name, const smf::Bytes& bytes)
    {
        std::string path = file(name);
        smf::write(path, bytes);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(MediaPlayerTest, OpenedFileWaitsAtItsStartWithItsLength)
{
    MediaPlayer player;
    player.open(wav("tone.wav", 400));
    EXPECT_TRUE(player.isOpen());
    EXPECT_NEAR(player.length(), 400, 5);
    QThread::msleep(150);
    EXPECT_EQ(player.position(), 0) << "open must not start playing";
}

TEST_F(MediaPlayerTest, PlayedFileStopsWithPositionEqualToLengthAndRewindsOnPlay)
{
    MediaPlayer player;
    player.open(wav("tone.wav", 1500));
    player.play();
    EXPECT_EQ(player.error(), 0);
    ASSERT_TRUE(waitUntil([&] { return player.position() == player.length(); }, [] {}));
    QThread::msleep(100);
    EXPECT_EQ(player.position(), player.length()) << "a finished file keeps its end position";

    player.play();
    EXPECT_LT(player.position(), 1000) << "play at the end starts over";
}

TEST_F(MediaPlayerTest, StopKeepsThePosition)
{
    MediaPlayer player;
    player.open(wav("tone.wav", 2000));
    player.play();
    ASSERT_TRUE(waitUntil([&] { return player.position() >= 200; }, [] {}));
    player.stop();
    QThread::msleep(100); // what the output had buffered drains
    const auto stoppedAt = player.position();
    QThread::msleep(200);
    EXPECT_EQ(player.position(), stoppedAt);
    EXPECT_LT(stoppedAt, 2000);
}

TEST_F(MediaPlayerTest, OpeningAnotherFileReplacesTheFirst)
{
    MediaPlayer player;
    player.open(wav("a.wav", 300));
    player.play();
    const std::string b = wav("b.wav", 700);
    player.open(b);
    EXPECT_EQ(player.fileName(), b);
    EXPECT_NEAR(player.length(), 700, 5);
    EXPECT_EQ(player.position(), 0);
}

TEST_F(MediaPlayerTest, CloseForgetsTheFile)
{
    MediaPlayer player;
    player.open(wav("a.wav", 300));
    player.close();
    EXPECT_FALSE(player.isOpen());
    EXPECT_THROW((void)player.length(), MediaError);
    EXPECT_THROW((void)player.position(), MediaError);
    player.play();
    EXPECT_NE(player.error(), 0) << "play without a file keeps its error";
}

struct BadFile {
    const char* name;
    const char* content; // nullptr: the file does not exist
};

class MediaPlayerFailureTest : public MediaPlayerTest,
                               public ::testing::WithParamInterface<BadFile> {};

TEST_P(MediaPlayerFailureTest, RaisesWithTheReasonAndLeavesNothingOpen)
{
    const std::string path = file(GetParam().name);
    if (GetParam().content) {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(GetParam().content);
    }
    MediaPlayer player;
    try {
        player.open(path);
        FAIL() << "opened " << path;
    } catch (const MediaError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(path), std::string::npos) << text;
        EXPECT_GT(text.size(), path.size() + 16) << "libmpv's reason is missing: " << text;
    }
    EXPECT_FALSE(player.isOpen());
    EXPECT_NE(player.error(), 0);
    EXPECT_THROW((void)player.length(), MediaError);

    // The player stays usable after a failure.
    player.open(wav("good.wav", 300));
    EXPECT_NEAR(player.length(), 300, 5);
}

INSTANTIATE_TEST_SUITE_P(, MediaPlayerFailureTest,
                         ::testing::Values(BadFile{"missing.mp3", nullptr},
                                           BadFile{"text.wav", "this is not a sound at all\n"},
                                           BadFile{"empty.mp3", ""}, BadFile{"empty.mid", ""},
                                           BadFile{"text.mid", "MThd, but not a song\n"},
                                           BadFile{"missing.mid", nullptr}),
                         [](const auto& info) { return std::string(info.param.name).replace(
                             std::string(info.param.name).find('.'), 1, "_"); });

// QApplication sets the numeric locale from the environment, and libmpv then refuses to start.
// A desktop locale is compiled into the test's own folder, so the test needs no system locale.
TEST_F(MediaPlayerTest, RefusedStartIsAnOpenErrorNamingTheLocale)
{
    const std::string path = wav("tone.wav", 300);
    const QString locales = dir.filePath(QStringLiteral("locales"));
    ASSERT_TRUE(QDir().mkpath(locales));
    const std::string make = "localedef -i de_DE -f UTF-8 '" + locales.toStdString()
                             + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0)
        GTEST_SKIP() << "localedef cannot build de_DE";
    setenv("LOCPATH", locales.toUtf8().constData(), 1);
    const bool desktopLocale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    MediaPlayer player;
    std::string text;
    try {
        player.open(path);
    } catch (const MediaError& e) {
        text = e.what();
    }
    std::setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    ASSERT_TRUE(desktopLocale);
    EXPECT_NE(text.find("numeric locale \"C\", not \"de_DE.UTF-8\""), std::string::npos) << text;
    EXPECT_FALSE(player.isOpen());
}

TEST_F(MediaPlayerTest, PollPlaysTheListInOrderAndStartsOver)
{
    MediaPlayer player;
    const std::vector<std::string> files = {wav("A.wav", 250), wav("B.wav", 250), wav("C.wav", 250)};
    std::int32_t index = 0;
    QStringList reports;
    MusicPoll poll(player, files, index, [&](const QString& r) { reports << r; });
    poll.playmusic();
    std::vector<std::string> played = {player.fileName()};
    ASSERT_TRUE(waitUntil([&] { return played.size() == 4; }, [&] {
        poll.TimerTimer();
        if (player.fileName() != played.back())
            played.push_back(player.fileName());
    }));
    EXPECT_EQ(played, (std::vector<std::string>{files[0], files[1], files[2], files[0]}));
    EXPECT_TRUE(reports.isEmpty()) << reports.join(u'\n').toStdString();
}

// A MIDI song plays like any file, with the length of its tempo map, and the file after it
// follows by itself; a damaged song after that is reported once when its turn comes, and the
// next tick plays the file after it. The poll's own timer is far too slow to be what moves on.
TEST_F(MediaPlayerTest, MidiSongIsFollowedAndADamagedOneIsPassedOver)
{
    MediaPlayer player;
    const std::vector<std::string> files = {midi("song.mid", smf::twoTrackSong()), wav("tone.wav", 300),
                                            midi("damaged.mid", {'M', 'T', 'h', 'd', 0, 0})};
    std::int32_t index = 0;
    QStringList reports;
    MusicPoll poll(player, files, index, [&](const QString& r) { reports << r; });
    poll.Timer().setInterval(600000);
    poll.playmusic();
    poll.setEnabled(true);
    EXPECT_NEAR(player.length(), smf::TwoTrackSongUs / 1000, 1);

    ASSERT_TRUE(awaitEvents([&] { return index == 1; }));
    EXPECT_EQ(player.fileName(), files[1]);
    EXPECT_NEAR(player.length(), 300, 5);
    ASSERT_TRUE(awaitEvents([&] { return index == 2; }));
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(QString::fromStdString(files[2]))) << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains(u"not a Standard MIDI File")) << reports[0].toStdString();

    poll.TimerTimer();
    EXPECT_EQ(player.fileName(), files[0]) << "the list starts over";
    EXPECT_TRUE(player.isOpen());
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(MediaPlayerTest, MidiWithoutSoundFontNamesWhatIsMissing)
{
    const std::string song = midi("song.mid", smf::twoTrackSong());
    setenv("LMVO_SOUNDFONT", "/nowhere/GM.sf2", 1);
    MediaPlayer player;
    std::string text;
    try {
        player.open(song);
    } catch (const MediaError& e) {
        text = e.what();
    }
    unsetenv("LMVO_SOUNDFONT");
    EXPECT_NE(text.find(song), std::string::npos) << text;
    EXPECT_NE(text.find("/nowhere/GM.sf2"), std::string::npos) << text;
    EXPECT_NE(text.find("SoundFont"), std::string::npos) << text;
    EXPECT_FALSE(player.isOpen());
}

// A player whose files, lengths and positions the test decides.
class FakePlayer final : public AudioPlayer {
public:
    void open(const std::string& path) override
    {
        close();
        opens.push_back(path);
        if (failing.count(path))
            throw MediaError("Cannot open \"" + path + "\": unrecognized file format");
        current = path;
    }
    void close() override { current.reset(); }
    bool isOpen() const override { return current.has_value(); }
    void play() override { ++plays; }
    void stop() override {}
    void queue(const std::string& path) override { queued.push_back(path); }
    void finish() { notifyEnd(End::Finished); }
    void follow()
    {
        current = queued.back();
        notifyEnd(End::Followed);
    }
    std::int64_t length() override
    {
        if (!current || lengthFails)
            throw MediaError("No media file open");
        return len;
    }
    std::int64_t position() override
    {
        if (positionFails)
            throw MediaError("position unknown");
        return pos;
    }

    std::set<std::string> failing;
    std::optional<std::string> current;
    std::vector<std::string> opens;
    std::vector<std::string> queued;
    std::int64_t len = 1000;
    std::int64_t pos = 1000;
    bool lengthFails = false;
    bool positionFails = false;
    int plays = 0;
};

class MusicPollTest : public ::testing::Test {
protected:
    FakePlayer player;
    std::vector<std::string> files{"A", "B", "C"};
    std::int32_t index = 0;
    QStringList reports;
    MusicPoll poll{player, files, index, [this](const QString& r) { reports << r; }};
};

TEST_F(MusicPollTest, PlaymusicOpensTheFileAtTheIndexAndPlaysIt)
{
    index = 1;
    poll.playmusic();
    EXPECT_EQ(player.opens, std::vector<std::string>{"B"});
    EXPECT_EQ(player.plays, 1);
}

TEST_F(MusicPollTest, WrapsAroundAfterTheLastFile)
{
    poll.playmusic();
    for (int i = 0; i < 4; ++i)
        poll.TimerTimer();
    EXPECT_EQ(player.opens, (std::vector<std::string>{"A", "B", "C", "A", "B"}));
    EXPECT_EQ(index, 1);
}

struct Remaining {
    std::int64_t length, position;
    bool movesOn;
};

class MusicPollThresholdTest : public MusicPollTest,
                               public ::testing::WithParamInterface<Remaining> {};

TEST_P(MusicPollThresholdTest, MovesOnWithinTenMillisecondsOfTheEnd)
{
    poll.playmusic();
    player.len = GetParam().length;
    player.pos = GetParam().position;
    poll.TimerTimer();
    EXPECT_EQ(index, GetParam().movesOn ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(, MusicPollThresholdTest,
                         ::testing::Values(Remaining{1000, 0, false}, Remaining{1000, 989, false},
                                           Remaining{1000, 990, true}, Remaining{1000, 1000, true},
                                           Remaining{1000, 1200, true}),
                         [](const auto& info) {
                             return "Length" + std::to_string(info.param.length) + "Position"
                                    + std::to_string(info.param.position);
                         });

TEST_F(MusicPollTest, FailedQueriesCountAsTheEnd)
{
    poll.playmusic();
    player.pos = 0;
    player.positionFails = true;
    poll.TimerTimer();
    player.positionFails = false;
    player.lengthFails = true;
    poll.TimerTimer();
    EXPECT_EQ(player.opens, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(MusicPollTest, FailedFileIsReportedOnceAndTheNextPollMovesOn)
{
    player.failing = {"B"};
    poll.playmusic();
    poll.TimerTimer(); // B fails
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(u"\"B\"")) << reports[0].toStdString();
    poll.TimerTimer(); // nothing open: counts as the end, C plays
    poll.TimerTimer(); // A again
    EXPECT_EQ(player.opens, (std::vector<std::string>{"A", "B", "C", "A"}));
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(MusicPollTest, MusicStopsWhenEveryFileFailsInARow)
{
    poll.playmusic();
    poll.setEnabled(true);
    player.failing = {"A", "B", "C"};
    for (int i = 0; i < 6; ++i)
        poll.TimerTimer();
    EXPECT_FALSE(poll.enabled());
    ASSERT_EQ(reports.size(), 2) << "the first failure and the stop, nothing more";
    EXPECT_TRUE(reports[1].contains(u"stopped")) << reports[1].toStdString();
}

TEST_F(MusicPollTest, SingleFailingFileStopsWithOneReport)
{
    files = {"A"};
    poll.playmusic();
    poll.setEnabled(true);
    player.failing = {"A"};
    poll.TimerTimer();
    poll.TimerTimer();
    EXPECT_FALSE(poll.enabled());
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(MusicPollTest, APlayableFileEndsTheRunOfFailures)
{
    files = {"A", "B", "C", "D"};
    poll.playmusic();
    poll.setEnabled(true);
    player.failing = {"B", "C"};
    for (int i = 0; i < 8; ++i) // B, C fail; D plays; A; B, C fail again; D; A
        poll.TimerTimer();
    EXPECT_TRUE(poll.enabled());
    EXPECT_EQ(reports.size(), 2) << "one report per run of failures";
}

// The end report moves on only while the poll runs, and a tick that follows it finds the new
// file playing and does not move on again.
TEST_F(MusicPollTest, EndReportMovesOnOnceWhileEnabled)
{
    poll.playmusic();
    player.finish();
    EXPECT_EQ(index, 0) << "a stopped poll leaves the music alone";
    poll.setEnabled(true);
    player.finish();
    EXPECT_EQ(index, 1);
    player.pos = 0;
    poll.TimerTimer();
    EXPECT_EQ(player.opens, (std::vector<std::string>{"A", "B"}));
}

// Each file that starts has the next by the poll's rule queued behind it; a queued file that
// takes over moves the index without opening anything, and a one-file list queues itself.
TEST_F(MusicPollTest, QueuedFilesFollowByTheSameRule)
{
    poll.playmusic();
    for (int i = 0; i < 3; ++i)
        player.follow();
    EXPECT_EQ(player.opens, std::vector<std::string>{"A"});
    EXPECT_EQ(player.queued, (std::vector<std::string>{"B", "C", "A", "B"}));
    EXPECT_EQ(index, 0);
    player.pos = 0;
    poll.TimerTimer();
    EXPECT_EQ(index, 0) << "the tick after a follow finds the new file at its start";

    files = {"A"};
    poll.playmusic();
    EXPECT_EQ(player.queued.back(), "A");
}

TEST_F(MusicPollTest, EnablingARunningPollDoesNotRestartIt)
{
    poll.setEnabled(true);
    QThread::msleep(30);
    const int before = poll.Timer().remainingTime();
    poll.setEnabled(true);
    EXPECT_LE(poll.Timer().remainingTime(), before);
    EXPECT_EQ(poll.Timer().interval(), 1000);
}

} // namespace
} // namespace lmvo
