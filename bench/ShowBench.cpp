// A show's costs in the real slideshow window, for generated JPEGs of 2, 12, 48 and 100
// megapixels on an offscreen screen of 1920 x 1080 and of 3840 x 2160:
//   - BM_TickToFirstFrame: from the tick to the first frame of its transition on screen, with the
//     picture prepared ahead and without (the tick then waits for its load);
//   - BM_TransitionFrame: the time between the frames of a transition, and the processor time
//     the main thread spends on one; the first transition of the show (from black) apart;
//   - BM_ShowPeakMemory: the peak resident memory of the show.
// Every show runs in a child process (this program again, with --show), so that peaks do not
// mix and each has its own screen. A show of tiny pictures on the same screen, run the same way,
// is the baseline: its figures are what a show costs when its pictures cost nothing to load.
// Each case reports its targets as ratios: frames within 1.05 x Delay, a prepared tick within
// one Delay, 48-MP pictures on 1920 x 1080 in at most 200 MB. The short pass (LMVO_BENCH_SHORT)
// runs one small case.
#include "bench/ShowHarness.h"
#include "show/PicturePreloader.h"
#include "forms/uSlide.h"
#include "scan/SharedState.h"

#include <lumivo/Random.h>
#include <lumivo/TransitionView.h>

#include <QApplication>
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace lmvo::bench;

constexpr int ShowDelayMs = 40; // the show's own Delay
constexpr double TargetPeakMb = 200;

struct Size {
    int width;
    int height;
};

struct PictureCase {
    const char* name;
    Size size;
};

// Camera sizes: a small file, a phone, a phone's high-resolution mode, a medium-format camera.
const std::vector<PictureCase>& pictureCases()
{
    static const std::vector<PictureCase> full{
        {"2MP", {1600, 1200}}, {"12MP", {4000, 3000}}, {"48MP", {8000, 6000}}, {"100MP", {11648, 8736}}};
    static const std::vector<PictureCase> brief{{"0.3MP", {640, 480}}};
    return shortRun() ? brief : full;
}
const std::vector<Size>& screens()
{
    static const std::vector<Size> full{{1920, 1080}, {3840, 2160}};
    static const std::vector<Size> brief{{480, 270}};
    return shortRun() ? brief : full;
}
const PictureCase baselineCase{"baseline", {64, 48}};

int delayMs() { return shortRun() ? 10 : ShowDelayMs; }
// Ticks measured after the first (which comes from black), alternately prepared and not.
int measuredTicks() { return shortRun() ? 2 : 6; }

// ---- the child: one show, printing what it measured as "name value" lines ----

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

double mean(const std::vector<double>& v) { return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size()); }

// --show DELAY TICKS PICTURE...: the show's screen comes with the platform in the environment.
int showChild(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    const int delay = std::atoi(argv[2]);
    const int ticks = std::atoi(argv[3]);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    CountedBoxes boxes;
    lmvo::setMessageBoxes(&boxes);
    lmvo::PictureFiles.assign(argv + 4, argv + argc);
    lmvo::LoopPlay = 1;

    lmvo::Tfrm_slide form;
    form.SetTimerInterval(0); // the ticks are driven from here
    lmvo::TTransitionView& view = *form.TransitionView();
    view.SetDelay(std::uint16_t(delay));
    // Frames of the transition's own steps; the one at progress 0 is drawn as it is prepared.
    std::vector<std::int64_t> frames;
    view.OnProgress = [&](lmvo::TTransitionView& v) {
        if (v.Progress() > 0)
            frames.push_back(nowUs());
    };
    // Every show draws the same styles, so that the cases differ only in their pictures.
    lmvo::processRandom().seed(1);
    form.show();
    const QRect screen = form.screen()->geometry();
    if (!pumpUntil([&] { return view.pixelSize() == QSize(screen.width(), screen.height()); },
                   10000))
        return 3;
    auto* preloader = form.findChild<lmvo::PicturePreloader*>();
    const auto prepared = [&] {
        const lmvo::PreparedPicture* ready = preloader->ready();
        return ready && ready->request.size == form.PictureSize();
    };

    std::vector<double> tickPrepared, tickCold, intervals, firstIntervals, cpuPerFrame;
    double worstInterval = 0, worstPrepared = 0;
    for (int t = 0; t <= ticks; ++t) {
        const bool cold = t % 2 == 0 && t > 0;
        if (cold)
            preloader->cancel();
        else if (!pumpUntil(prepared, 300000))
            return 4;
        frames.clear();
        const double cpu0 = threadCpuSeconds();
        const std::int64_t t0 = nowUs();
        form.TimerTimer();
        // A tick whose picture is not in hand yet (a cold one, or one whose file is checked
        // again) goes on when it has come.
        if (!pumpUntil([&] { return !form.TickWaiting(); }, 300000))
            return 4;
        const double cpu = threadCpuSeconds() - cpu0;
        // The first transition, from black, paces like the others once its buffers are ready.
        for (std::size_t i = 1; t == 0 && i < frames.size(); ++i)
            firstIntervals.push_back(double(frames[i] - frames[i - 1]) / 1e3);
        if (t == 0 || frames.size() < 2)
            continue;
        (cold ? tickCold : tickPrepared).push_back(double(frames.front() - t0) / 1e3);
        if (!cold)
            worstPrepared = std::max(worstPrepared, tickPrepared.back());
        for (std::size_t i = 1; i < frames.size(); ++i) {
            intervals.push_back(double(frames[i] - frames[i - 1]) / 1e3);
            worstInterval = std::max(worstInterval, intervals.back());
        }
        if (!cold)
            cpuPerFrame.push_back(cpu * 1e3 / double(frames.size()));
    }
    std::printf("tick_prepared_ms %f\ntick_prepared_worst_ms %f\ntick_cold_ms %f\nframe_ms %f\nframe_worst_ms %f\ncpu_ms_per_frame %f\n"
                "first_frame_ms %f\nfirst_frame_worst_ms %f\nboxes %d\npeak_kb %ld\n",
                median(tickPrepared), worstPrepared, median(tickCold), mean(intervals), worstInterval, median(cpuPerFrame),
                mean(firstIntervals), firstIntervals.empty() ? 0.0 : *std::max_element(firstIntervals.begin(), firstIntervals.end()),
                boxes.shown, statusKb("VmHWM"));
    lmvo::setMessageBoxes(nullptr);
    return 0;
}

// ---- the parent: runs the shows and reports them ----

struct ShowFigures {
    std::map<std::string, double> values;
    [[nodiscard]] double operator[](const std::string& name) const
    {
        const auto it = values.find(name);
        return it == values.end() ? 0 : it->second;
    }
};

const QTemporaryDir& workDir()
{
    static const QTemporaryDir dir;
    if (!dir.isValid())
        throw std::runtime_error("no temporary folder for the benchmark's pictures");
    return dir;
}

ShowFigures runShow(const PictureCase& pictures, Size screen)
{
    const std::vector<std::string> files = generatedPictures(workDir(), pictures.size.width, pictures.size.height, 2);
    QStringList args{QStringLiteral("--show"), QString::number(delayMs()), QString::number(measuredTicks())};
    for (const std::string& f : files)
        args << QString::fromStdString(f);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
               QString::fromStdString(offscreenPlatform(workDir(), screen.width, screen.height)));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), workDir().path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), args);
    // The platform's remarks go to the report only when the show failed.
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        throw std::runtime_error("the show of " + std::string(pictures.name) + " failed with " +
                                 std::to_string(child.exitCode()) + ": " + child.readAllStandardError().toStdString());
    ShowFigures out;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            out.values[parts[0].toStdString()] = parts[1].toDouble();
    }
    return out;
}

// Each show runs once per run, whichever benchmark asks for it first. A show that failed fails
// every benchmark that reads it.
const ShowFigures& show(const PictureCase& pictures, Size screen)
{
    static std::map<std::string, ShowFigures> shows;
    static std::map<std::string, std::string> failures;
    const std::string key = std::string(pictures.name) + '@' + std::to_string(screen.width);
    if (const auto failed = failures.find(key); failed != failures.end())
        throw std::runtime_error(failed->second);
    auto it = shows.find(key);
    if (it == shows.end()) {
        try {
            it = shows.emplace(key, runShow(pictures, screen)).first;
        } catch (const std::exception& e) {
            failures.emplace(key, e.what());
            throw;
        }
    }
    return it->second;
}

void reportTime(benchmark::State& state, double ms)
{
    for (auto _ : state)
        state.SetIterationTime(ms / 1e3);
    state.counters["ms"] = ms;
}

double ratio(double value, double base) { return base > 0 ? value / base : 0; }

void BM_TickToFirstFrame(benchmark::State& state, PictureCase pictures, Size screen, bool prepared)
{
    const char* name = prepared ? "tick_prepared_ms" : "tick_cold_ms";
    const double ms = show(pictures, screen)[name];
    reportTime(state, ms);
    state.counters["ratio_to_delay"] = ratio(ms, delayMs());
    state.counters["ratio_to_baseline"] = ratio(ms, show(baselineCase, screen)[name]);
    if (prepared)
        state.counters["worst_ratio_to_delay"] = ratio(show(pictures, screen)["tick_prepared_worst_ms"], delayMs());
}

void BM_TransitionFrame(benchmark::State& state, PictureCase pictures, Size screen)
{
    const ShowFigures& f = show(pictures, screen);
    reportTime(state, f["frame_ms"]);
    state.counters["ratio_to_delay"] = ratio(f["frame_ms"], delayMs());
    state.counters["worst_ratio_to_delay"] = ratio(f["frame_worst_ms"], delayMs());
    state.counters["ratio_to_baseline"] = ratio(f["frame_ms"], show(baselineCase, screen)["frame_ms"]);
    state.counters["cpu_ms_per_frame"] = f["cpu_ms_per_frame"];
    state.counters["first_ratio_to_delay"] = ratio(f["first_frame_ms"], delayMs());
    state.counters["first_worst_ratio_to_delay"] = ratio(f["first_frame_worst_ms"], delayMs());
}

void BM_ShowPeakMemory(benchmark::State& state, PictureCase pictures, Size screen)
{
    const ShowFigures& f = show(pictures, screen);
    reportTime(state, 0);
    const double mb = f["peak_kb"] / 1024;
    state.counters["peak_mb"] = mb;
    state.counters["ratio_to_target"] = mb / TargetPeakMb;
    state.counters["ratio_to_baseline"] = ratio(f["peak_kb"], show(baselineCase, screen)["peak_kb"]);
    state.counters["boxes"] = f["boxes"];
}

// The benchmarks read figures of shows that may have failed: a failure skips the benchmark.
template <typename... Args>
void add(const std::string& name, void (*fn)(benchmark::State&, Args...), Args... args)
{
    const auto run = [fn](benchmark::State& state, Args... a) {
        try {
            fn(state, a...);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
        }
    };
    benchmark::RegisterBenchmark(name.c_str(), run, args...)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

void registerAll()
{
    std::vector<PictureCase> cases{baselineCase};
    cases.insert(cases.end(), pictureCases().begin(), pictureCases().end());
    for (const Size screen : screens()) {
        const std::string at = '/' + std::to_string(screen.width) + 'x' + std::to_string(screen.height);
        for (const PictureCase& c : cases) {
            const std::string of = '/' + std::string(c.name) + at;
            add("BM_TickToFirstFrame" + of + "/prepared", BM_TickToFirstFrame, c, screen, true);
            add("BM_TickToFirstFrame" + of + "/not_prepared", BM_TickToFirstFrame, c, screen, false);
            add("BM_TransitionFrame" + of, BM_TransitionFrame, c, screen);
            add("BM_ShowPeakMemory" + of, BM_ShowPeakMemory, c, screen);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--show") == 0)
        return showChild(argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
