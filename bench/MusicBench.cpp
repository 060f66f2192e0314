// The background music on libmpv's silent null output, in real time.
//
// Gap: two short generated files, all in the synthesiser's format (44.1 kHz stereo), play one
// after the other through the music poll, whose own timer is too slow to matter; the second
// follows the first from the player's queue. The silence between them is taken from the
// player's own events (play, and the last file's end) against a run without the second file
// measured in the same iteration. The output's own start and end delays vary by a few tens of
// milliseconds between runs, so single figures scatter that much (below zero too); the median
// of many is the figure. Reported in milliseconds and against the 50 ms target.
//
// Song open: a ten-minute generated song (one minute with LMVO_BENCH_SHORT) is opened again
// and again in a player that has opened one before (libmpv and the SoundFont are loaded once
// a run), against the one second a user would notice.
//
// Song memory: a long generated song (ten minutes; one with LMVO_BENCH_SHORT) is synthesised
// through the WAV stream libmpv reads, and the growth of resident memory is reported next to
// the size of the song's whole PCM, which must never be held.

#include "music/MediaPlayer.h"
#include "music/MusicPoll.h"
#include "music/MidiStream.h"
#include "tests/support/AwaitEvents.h"
#include "tests/support/TestSounds.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace lmvo {
namespace {

bool shortRun() { return std::getenv("LMVO_BENCH_SHORT") != nullptr; }

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Passes everything to a real player, queues at most `queues` files, and notes when play was
// first asked for, when a file finished, and each played file's length.
class TimedPlayer final : public AudioPlayer {
public:
    TimedPlayer(MediaPlayer& inner, int queues) : inner_(inner), queues_(queues)
    {
        inner_.setEndHandler([this](End end) {
            if (end == End::Finished)
                finishedAt = nowSeconds();
            notifyEnd(end);
        });
    }
    ~TimedPlayer() override { inner_.setEndHandler({}); }

    void open(const std::string& path) override { inner_.open(path); }
    void close() override { inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }
    void play() override
    {
        if (playedAt == 0)
            playedAt = nowSeconds();
        inner_.play();
    }
    void stop() override { inner_.stop(); }
    std::int64_t length() override { return inner_.length(); }
    std::int64_t position() override { return inner_.position(); }
    void queue(const std::string& path) override
    {
        if (queues_-- > 0)
            inner_.queue(path);
    }

    double playedAt = 0;
    double finishedAt = 0;

private:
    MediaPlayer& inner_;
    int queues_;
};

class Folder {
public:
    Folder()
    {
        if (!dir_.isValid())
            throw std::runtime_error("no temporary folder");
    }
    std::string path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)).toStdString(); }

private:
    QTemporaryDir dir_;
};

// Seconds from play until the last file of `files` has finished, the others following it.
double playSeconds(MediaPlayer& player, const std::vector<std::string>& files)
{
    TimedPlayer timed(player, static_cast<int>(files.size()) - 1);
    std::int32_t index = 0;
    std::string report;
    MusicPoll poll(timed, files, index, [&](const QString& r) { report = r.toStdString(); });
    poll.Timer().setInterval(600000);
    poll.playmusic();
    poll.setEnabled(true);
    if (!awaitEvents([&] { return timed.finishedAt > 0 || !report.empty(); }, 10000))
        throw std::runtime_error("the second file never ended");
    poll.setEnabled(false);
    player.stop();
    if (!report.empty())
        throw std::runtime_error(report);
    return timed.finishedAt - timed.playedAt;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The silence between two files: how much longer the first file twice and then the second
// play than the first file twice, beyond the second's length. The start and end delays of the
// player and the output, and the first change of files, are in both runs and cancel; only
// what happens between the first file and the second is left.
void gapBench(benchmark::State& state, const char* firstName, const char* secondName)
{
    Folder folder;
    const auto make = [&](const char* name) {
        const std::string path = folder.path(name);
        if (std::string_view(name).ends_with(".mid"))
            smf::write(path, smf::songOf(500));
        else
            writeWav(path, 500, MidiRenderer::SampleRate, MidiRenderer::Channels);
        return path;
    };
    const std::string first = make(firstName), second = make(secondName);
    MediaPlayer player;
    player.open(second);
    const double secondLength = double(player.length()) / 1000.0;
    playSeconds(player, {first, second}); // libmpv and the synthesiser start once, not per file
    std::vector<double> gaps;
    for (auto _ : state) {
        const double without = playSeconds(player, {first, first});
        const double with = playSeconds(player, {first, first, second});
        gaps.push_back(with - without - secondLength);
        state.SetIterationTime(std::max(gaps.back(), 1e-6));
    }
    state.counters["gap_ms_median"] = median(gaps) * 1000;
    state.counters["gap_ms_max"] = *std::max_element(gaps.begin(), gaps.end()) * 1000;
    state.counters["median_vs_50ms_target"] = std::max(median(gaps), 0.0) / 0.050;
}

void BM_GapWavToWav(benchmark::State& state) { gapBench(state, "a.wav", "b.wav"); }
void BM_GapMidiToMidi(benchmark::State& state) { gapBench(state, "a.mid", "b.mid"); }
void BM_GapWavToMidi(benchmark::State& state) { gapBench(state, "a.wav", "b.mid"); }

void BM_OpenLongSong(benchmark::State& state)
{
    Folder folder;
    const std::string song = folder.path("long.mid");
    smf::write(song, smf::songOf((shortRun() ? 1 : 10) * 60000));
    MediaPlayer player;
    player.open(song);
    std::vector<double> opens;
    for (auto _ : state) {
        const double start = nowSeconds();
        player.open(song);
        opens.push_back(nowSeconds() - start);
        state.SetIterationTime(opens.back());
    }
    state.counters["open_ms_median"] = median(opens) * 1000;
    state.counters["median_vs_1s"] = median(opens);
}

std::int64_t residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(6));
    return 0;
}

void BM_LongSongStream(benchmark::State& state)
{
    const std::uint32_t minutes = shortRun() ? 1 : 10;
    auto song = std::make_shared<const MidiSong>(parseMidi(smf::songOf(minutes * 60000)));
    const auto pool = SynthPool::create();
    std::int64_t growthKiB = 0, pcmKiB = 0;
    for (auto _ : state) {
        auto renderer = std::make_unique<MidiRenderer>(song, pool);
        renderer->takeSynth(); // the SoundFont's instruments are not the song's memory
        MidiWavStream stream(std::move(renderer));
        pcmKiB = stream.size() / 1024;
        std::vector<char> buffer(1 << 16);
        const std::int64_t before = residentKiB();
        while (stream.read(buffer.data(), buffer.size()) > 0)
            growthKiB = std::max(growthKiB, residentKiB() - before);
        state.SetIterationTime(1); // the figure is the memory, not the time
    }
    state.counters["rss_growth_MiB"] = double(growthKiB) / 1024;
    state.counters["whole_pcm_MiB"] = double(pcmKiB) / 1024;
    state.counters["growth_vs_pcm"] = double(growthKiB) / double(pcmKiB);
}

BENCHMARK(BM_GapWavToWav)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(shortRun() ? 1 : 15);
BENCHMARK(BM_GapMidiToMidi)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(shortRun() ? 1 : 15);
BENCHMARK(BM_GapWavToMidi)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(shortRun() ? 1 : 15);
BENCHMARK(BM_OpenLongSong)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(shortRun() ? 1 : 7);
BENCHMARK(BM_LongSongStream)->UseManualTime()->Iterations(1);

} // namespace
} // namespace lmvo

int main(int argc, char** argv)
{
    setenv("LMVO_AUDIO_OUTPUT", "null", 1);
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
