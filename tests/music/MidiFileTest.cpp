#include "music/MidiFile.h"

#include "tests/support/TestSounds.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {
namespace {

using smf::Bytes;
using smf::Track;

TEST(MidiFileTest, MergesTracksInTimeOrderUnderTheTempoMap)
{
    const MidiSong song = parseMidi(smf::twoTrackSong());
    EXPECT_EQ(song.lengthUs, smf::TwoTrackSongUs);
    std::vector<std::int64_t> noteOns;
    for (const MidiEvent& e : song.events)
        if ((e.status & 0xF0) == 0x90)
            noteOns.push_back(e.us);
    // Two quarters at 120 beats a minute, then two at 240.
    EXPECT_EQ(noteOns, (std::vector<std::int64_t>{0, 500000, 1000000, 1250000}));
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A half-second note at 480 ticks a quarter and 120 beats a minute.
Track halfSecond() { return std::move(Track().note(0, 60, 480).end()); }

struct Input {
    const char* name;
    std::function<Bytes()> make;
    std::optional<MidiProblem> problem; // or, when none, the song's length
    std::int64_t lengthUs = 0;
};

void PrintTo(const Input& input, std::ostream* os) { *os << input.name; }

class MidiInputTest : public ::testing::TestWithParam<Input> {};

// Hostile and damaged files end in a clear error or in a song of bounded length.
TEST_P(MidiInputTest, GivesAClearProblemOrABoundedSong)
{
    const Bytes bytes = GetParam().make();
    try {
        const MidiSong song = parseMidi(bytes);
        ASSERT_FALSE(GetParam().problem) << "parsed a song of " << song.lengthUs << " µs";
        EXPECT_EQ(song.lengthUs, GetParam().lengthUs);
    } catch (const MidiError& e) {
        ASSERT_TRUE(GetParam().problem) << "problem " << int(e.problem());
        EXPECT_EQ(e.problem(), *GetParam().problem);
    }
}

const Input Inputs[] = {
    {"Empty", [] { return Bytes{}; }, MidiProblem::NotMidi},
    {"Text", [] { return Bytes{'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'n', 'g'}; }, MidiProblem::NotMidi},
    {"HeaderCutShort", [] { return Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}; }, MidiProblem::NotMidi},
    {"Format2", [] { return smf::file(2, 480, {halfSecond()}); }, MidiProblem::UnsupportedFormat},
    {"ZeroDivision", [] { return smf::file(1, 0, {halfSecond()}); }, MidiProblem::BadTiming},
    {"UnknownFrameRate", [] { return smf::file(1, 0xEE28, {halfSecond()}); }, MidiProblem::BadTiming},
    {"NoTracks", [] { return smf::header(1, 0, 480); }, MidiProblem::NoNotes},
    {"OnlyMetaEvents", [] { return smf::file(1, 480, {Track().tempo(0, 400000).end(4800)}); },
     MidiProblem::NoNotes},
    {"HugeDeclaredTrackLength",
     [] { return concat({smf::header(0, 1, 480), halfSecond().chunk(0xFFFFFFFF)}); }, std::nullopt,
     500000},
    {"EndlessRunOfTempoEvents",
     [] {
         Track t;
         for (int i = 0; i < 200000; ++i)
             t.tempo(0, 500000);
         t.note(0, 60, 480).end();
         return smf::file(0, 480, {t});
     },
     std::nullopt, 500000},
    {"TempoRunPastFourHours",
     [] {
         Track t;
         t.note(0, 60, 480);
         for (int i = 0; i < 10; ++i)
             t.tempo(0x0FFFFFFF, 0xFFFFFF);
         return smf::file(0, 480, {t.end()});
     },
     MidiProblem::TooLong},
    // The first track opens with a data byte; the second uses running status properly.
    {"RunningStatusAtStart",
     [] {
         Track broken;
         broken.event(0, {60, 100}).end(48000);
         Track good;
         good.event(0, {0x90, 60, 100}).event(480, {60, 0}).end();
         return smf::file(1, 480, {broken, good});
     },
     std::nullopt, 500000},
    {"TrackWithoutEnd", [] { return smf::file(0, 480, {Track().note(0, 60, 480)}); }, std::nullopt, 500000},
    {"TrackCutInAnEvent",
     [] {
         Bytes b = smf::file(0, 480, {Track().note(0, 60, 480).event(0, {0x90, 64, 100})});
         b.pop_back();
         return b;
     },
     std::nullopt, 500000},
    {"FiveByteDelta",
     [] {
         Track t = halfSecond();
         t.bytes.pop_back(), t.bytes.pop_back(), t.bytes.pop_back(), t.bytes.pop_back();
         t.bytes.insert(t.bytes.end(), {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100});
         return smf::file(0, 480, {t});
     },
     std::nullopt, 500000},
    {"MaximumTrackCount",
     [] { return smf::file(1, 480, std::vector<Track>(65535, halfSecond())); }, std::nullopt, 500000},
    {"FewerTracksThanDeclared",
     [] { return concat({smf::header(1, 60000, 480), halfSecond().chunk()}); }, std::nullopt, 500000},
    {"UnknownChunkBeforeTheTrack",
     [] {
         return concat({smf::header(0, 1, 480), Bytes{'X', 'F', 'I', 'H', 0, 0, 0, 2, 1, 2},
                        halfSecond().chunk()});
     },
     std::nullopt, 500000},
    // 25 frames a second of 40 ticks: a tick is a millisecond, whatever the tempo says.
    {"SmpteTime", [] { return smf::file(0, 0xE728, {Track().tempo(0, 100).note(0, 60, 1000).end()}); },
     std::nullopt, 1000000},
    {"RiffWrapped",
     [] {
         const Bytes song = smf::twoTrackSong();
         Bytes riff{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'};
         for (int i = 0; i < 4; ++i)
             riff.push_back(static_cast<std::uint8_t>(song.size() >> (8 * i)));
         return concat({riff, song});
     },
     std::nullopt, smf::TwoTrackSongUs},
};

INSTANTIATE_TEST_SUITE_P(, MidiInputTest, ::testing::ValuesIn(Inputs),
                         [](const auto& info) { return std::string(info.param.name); });

// The reader takes only regular files, never waits on a FIFO and never reads a huge file.
TEST(MidiFileTest, ReadsOnlyRegularFilesOfBoundedSize)
{
    const auto dir = std::filesystem::temp_directory_path() / ("lmvo-midi-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string fifo = dir / "pipe.mid", huge = dir / "huge.mid", song = dir / "song.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    smf::write(song, smf::twoTrackSong());
    smf::write(huge, smf::twoTrackSong());
    std::filesystem::resize_file(huge, MidiLimits::MaxFileBytes + 1);

    const auto problem = [](const std::string& path) -> std::optional<MidiProblem> {
        try {
            (void)readMidiFile(path);
            return std::nullopt;
        } catch (const MidiError& e) {
            return e.problem();
        }
    };
    EXPECT_EQ(problem(fifo), MidiProblem::NotMidi);
    EXPECT_EQ(problem(huge), MidiProblem::TooLarge);
    EXPECT_EQ(problem(dir / "missing.mid"), MidiProblem::Unreadable);
    EXPECT_EQ(problem(song), std::nullopt);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace lmvo
