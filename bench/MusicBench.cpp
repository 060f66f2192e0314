// The background music on libmpv's silent null output, in real time.
//
// Gap: two short generated files, all in the synthesiser's format (44.1 kHz stereo), play one
// after the other through the music poll, whose own timer is too slow to matter. The silence between them is taken from the player's end events
// alone: from the first file's end to the second's, less the second file's length. Both end
// events come the same way, so their delay cancels. Reported in milliseconds and against the
// 50 ms target, and against libmpv alone doing the least any driver must between two files.
//
// Song memory: a long generated song (ten minutes; one with LMVO_BENCH_SHORT) is synthesised
// through the WAV stream libmpv reads, and the growth of resident memory is reported next to
// the size of the song's whole PCM, which must never be held.

#include "forms/MediaPlayer.h"
#include "forms/MidiStream.h"
#include "tests/forms/TestSounds.h"

#include <benchmark/benchmark.h>

#include <mpv/client.h>

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

// Passes everything to a real player and notes when each file ends and how long each played
// file is.
class TimedPlayer final : public AudioPlayer {
public:
    explicit TimedPlayer(MediaPlayer& inner) : inner_(inner)
    {
        inner_.setFinishedHandler([this] {
            ends.push_back(nowSeconds());
            notifyFinished();
        });
    }
    ~TimedPlayer() override { inner_.setFinishedHandler({}); }

    void open(const std::string& path) override { inner_.open(path); }
    void close() override { inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }
    void play() override
    {
        lengths.push_back(inner_.length());
        inner_.play();
    }
    void stop() override { inner_.stop(); }
    std::int64_t length() override { return inner_.length(); }
    std::int64_t position() override { return inner_.position(); }

    std::vector<double> ends;
    std::vector<std::int64_t> lengths;

private:
    MediaPlayer& inner_;
};

// Runs the event loop until `done` holds or `boundMs` pass.
template <typename Done>
void awaitEvents(Done done, int boundMs)
{
    bool late = false;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, [&] { late = true; });
    bound.start(boundMs);
    while (!done() && !late)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!done())
        throw std::runtime_error("the second file never ended");
}

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

// Seconds of silence between the end of `first` and the start of `second`.
double gapSeconds(MediaPlayer& player, const std::string& first, const std::string& second)
{
    TimedPlayer timed(player);
    const std::vector<std::string> files{first, second};
    std::int32_t index = 0;
    std::string report;
    MusicPoll poll(timed, files, index, [&](const QString& r) { report = r.toStdString(); });
    poll.Timer().setInterval(600000);
    poll.playmusic();
    poll.setEnabled(true);
    awaitEvents([&] { return timed.ends.size() >= 2 || !report.empty(); }, 10000);
    poll.setEnabled(false);
    player.stop();
    if (!report.empty())
        throw std::runtime_error(report);
    return timed.ends[1] - timed.ends[0] - double(timed.lengths[1]) / 1000.0;
}

// The same two files on libmpv alone, with the same options, driven straight from its event
// queue: the end event, then stop, load and unpause at once. What libmpv and the output need
// between two files whoever drives them; the player's gap is reported against it.
double libmpvGapSeconds(const std::string& first, const std::string& second)
{
    mpv_handle* mpv = mpv_create();
    for (const auto& [name, value] : {std::pair{"vid", "no"}, {"keep-open", "yes"}, {"idle", "yes"},
                                      {"pause", "yes"}, {"ao", "null"}, {"cache", "no"},
                                      {"gapless-audio", "no"}, {"load-scripts", "no"}})
        mpv_set_option_string(mpv, name, value);
    if (mpv_initialize(mpv) < 0)
        throw std::runtime_error("libmpv does not start");
    mpv_observe_property(mpv, 1, "eof-reached", MPV_FORMAT_FLAG);
    std::vector<double> ends;
    std::int64_t secondMs = 0;
    for (const std::string* file : {&first, &second}) {
        const char* stop[] = {"stop", nullptr};
        mpv_command(mpv, stop);
        const char* load[] = {"loadfile", file->c_str(), "replace", nullptr};
        mpv_command(mpv, load);
        while (mpv_wait_event(mpv, 5)->event_id != MPV_EVENT_FILE_LOADED) {
        }
        double seconds = 0;
        mpv_get_property(mpv, "duration", MPV_FORMAT_DOUBLE, &seconds);
        secondMs = std::llround(seconds * 1000);
        mpv_set_property_string(mpv, "pause", "no");
        for (bool ended = false; !ended;) {
            const mpv_event* e = mpv_wait_event(mpv, 5);
            if (e->event_id == MPV_EVENT_NONE)
                throw std::runtime_error("libmpv never reported the end");
            const auto* p = static_cast<const mpv_event_property*>(e->data);
            ended = e->event_id == MPV_EVENT_PROPERTY_CHANGE && p->format == MPV_FORMAT_FLAG
                    && *static_cast<const int*>(p->data);
        }
        ends.push_back(nowSeconds());
    }
    mpv_terminate_destroy(mpv);
    return ends[1] - ends[0] - double(secondMs) / 1000.0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void gapBench(benchmark::State& state, const char* firstName, const char* secondName)
{
    Folder folder;
    const auto make = [&](const char* name) {
        const std::string path = folder.path(name);
        if (std::string_view(name).ends_with(".mid"))
            smf::write(path, smf::songOf(300));
        else
            writeWav(path, 300, MidiRenderer::SampleRate, MidiRenderer::Channels);
        return path;
    };
    const std::string first = make(firstName), second = make(secondName);
    MediaPlayer player;
    gapSeconds(player, first, second); // libmpv and the synthesiser start once, not per file
    std::vector<double> gaps;
    for (auto _ : state) {
        gaps.push_back(gapSeconds(player, first, second));
        state.SetIterationTime(std::max(gaps.back(), 1e-6));
    }
    std::vector<double> floor;
    const std::string wavA = folder.path("floor-a.wav"), wavB = folder.path("floor-b.wav");
    writeWav(wavA, 300, MidiRenderer::SampleRate, MidiRenderer::Channels);
    writeWav(wavB, 300, MidiRenderer::SampleRate, MidiRenderer::Channels);
    for (std::size_t i = 0; i < gaps.size(); ++i)
        floor.push_back(libmpvGapSeconds(wavA, wavB));
    state.counters["gap_ms_median"] = median(gaps) * 1000;
    state.counters["gap_ms_max"] = *std::max_element(gaps.begin(), gaps.end()) * 1000;
    state.counters["median_vs_50ms_target"] = median(gaps) / 0.050;
    state.counters["libmpv_alone_ms_median"] = median(floor) * 1000;
    state.counters["median_vs_libmpv_alone"] = median(gaps) / median(floor);
}

void BM_GapWavToWav(benchmark::State& state) { gapBench(state, "a.wav", "b.wav"); }
void BM_GapMidiToMidi(benchmark::State& state) { gapBench(state, "a.mid", "b.mid"); }
void BM_GapWavToMidi(benchmark::State& state) { gapBench(state, "a.wav", "b.mid"); }

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
        MidiWavStream stream(std::make_unique<MidiRenderer>(song, pool));
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

BENCHMARK(BM_GapWavToWav)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(shortRun() ? 1 : 7);
BENCHMARK(BM_GapMidiToMidi)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(shortRun() ? 1 : 7);
BENCHMARK(BM_GapWavToMidi)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(shortRun() ? 1 : 7);
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
