#include "music/MidiStream.h"

#include "tests/support/TestSounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace lmvo {
namespace {

// Reads a whole stream the way a player does, in uneven pieces.
std::vector<char> readAll(MidiWavStream& stream)
{
    std::vector<char> out;
    char piece[3001];
    while (std::size_t n = stream.read(piece, sizeof piece))
        out.insert(out.end(), piece, piece + n);
    return out;
}

// Root mean square of the 16-bit samples of a stretch of the data, 0 to 1.
double loudness(const std::vector<char>& wav, double fromSeconds, double toSeconds)
{
    constexpr std::size_t FrameBytes = 4;
    const auto frame = [](double s) { return std::size_t(s * MidiRenderer::SampleRate); };
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t f = frame(fromSeconds); f < frame(toSeconds); ++f, count += 2)
        for (int c = 0; c < 2; ++c) {
            std::int16_t v;
            std::memcpy(&v, wav.data() + MidiWavStream::HeaderBytes + f * FrameBytes + c * 2, 2);
            sum += double(v) * v;
        }
    return std::sqrt(sum / double(count)) / 32768.0;
}

std::uint32_t littleEndian(const std::vector<char>& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | std::uint8_t(b[at + std::size_t(i)]);
    return v;
}

std::unique_ptr<MidiWavStream> streamOf(const smf::Bytes& bytes, std::shared_ptr<SynthPool> pool)
{
    auto song = std::make_shared<const MidiSong>(parseMidi(bytes));
    return std::make_unique<MidiWavStream>(std::make_unique<MidiRenderer>(song, pool));
}

// The song synthesises to a WAV file as long as its tempo map says, with every note heard;
// read again from the start after its end (a replay), it sounds again.
TEST(MidiStreamTest, SynthesisesTheSongAsLongAsItsTempoMapSays)
{
    const auto pool = SynthPool::create();
    auto stream = streamOf(smf::twoTrackSong(), pool);
    const std::vector<char> wav = readAll(*stream);

    ASSERT_EQ(std::int64_t(wav.size()), stream->size());
    ASSERT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    const double seconds = double(littleEndian(wav, 40)) / 4 / MidiRenderer::SampleRate;
    EXPECT_NEAR(seconds, smf::TwoTrackSongUs / 1e6, smf::TwoTrackSongUs / 1e6 * 0.01);
    // One stretch per note, at 120 and then at 240 beats a minute.
    for (auto [from, to] : {std::pair{0.05, 0.45}, {0.55, 0.95}, {1.05, 1.2}, {1.3, 1.45}})
        EXPECT_GT(loudness(wav, from, to), 0.01) << "silent from " << from << " s";

    stream->seek(0);
    const std::vector<char> again = readAll(*stream);
    ASSERT_EQ(again.size(), wav.size());
    EXPECT_GT(loudness(again, 0.05, 0.45), 0.01);
}

TEST(MidiStreamTest, ChoosesMidiFilesByExtension)
{
    for (const char* midi : {"a.mid", "/x/B.MID", "c.midi", "d.Kar", "e.rmi"})
        EXPECT_TRUE(MidiStreams::isMidi(midi)) << midi;
    for (const char* other : {"a.mp3", "mid", ".mid.wav", "/x.mid/a.wav", "a.mi"})
        EXPECT_FALSE(MidiStreams::isMidi(other)) << other;
}

} // namespace
} // namespace lmvo
