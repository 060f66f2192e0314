// The picture view's costs, each as a ratio to a memcpy of the picture's bytes measured in the
// same run: one frame of style 0, and one Paint of a large picture stretched into a screen-
// sized control; and the processor time an in-line transition uses against its wall time.
#include "bench/Baseline.h"
#include "transition/TransitionView.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>

namespace {

using lmvo::TTransitionView;

bool shortRun() { return std::getenv("LMVO_BENCH_SHORT") != nullptr; }

struct Size {
    int w;
    int h;
};
Size pictureSize() { return shortRun() ? Size{400, 300} : Size{4000, 3000}; }
Size screenSize() { return shortRun() ? Size{192, 108} : Size{1920, 1080}; }
std::size_t pictureBytes() { return std::size_t(pictureSize().w) * pictureSize().h * 4; }

void fillPicture(lmvo::TPicture& p, Size s)
{
    lmvo::Bitmap b(s.w, s.h);
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
            b.setPixel(x, y, lmvo::Color((x * 7) & 0xFF) << 16 | lmvo::Color((y * 3) & 0xFF) << 8 | 0x40);
    p.setGraphic(std::move(b));
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void reportRatio(benchmark::State& state, double total)
{
    const double perCall = total / double(state.iterations());
    state.counters["ratio_to_memcpy"] = perCall / lmvo::bench::memcpySeconds(pictureBytes());
}

// One frame of style 0 without a handler: the old picture whole, then the new one whole.
void BM_Style0Frame(benchmark::State& state)
{
    TTransitionView view;
    view.SetThreaded(false);
    view.SetManual(true);
    view.SetStyle(0);
    view.SetAutoSize(false);
    fillPicture(view.Picture(), pictureSize());
    view.Execute();
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        view.ComposeFrameAt(50);
        total += seconds(std::chrono::steady_clock::now() - t0);
    }
    reportRatio(state, total);
    view.Stop();
}
BENCHMARK(BM_Style0Frame)->Unit(benchmark::kMillisecond);

// One Paint of the picture stretched over the whole client area.
void BM_PaintStretched(benchmark::State& state)
{
    TTransitionView view;
    view.SetThreaded(false);
    view.SetDelay(0);
    view.SetStyle(0);
    view.SetAutoSize(false);
    view.resize(screenSize().w, screenSize().h);
    view.SetStretch(true);
    fillPicture(view.Picture(), pictureSize());
    view.Execute();
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        view.Paint();
        total += seconds(std::chrono::steady_clock::now() - t0);
    }
    reportRatio(state, total);
}
BENCHMARK(BM_PaintStretched)->Unit(benchmark::kMillisecond);

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A 25-step in-line transition on a shown control: the processor time it uses as a fraction
// of its wall time. The wait between steps sleeps in the event loop, so this stays small.
void BM_InlineTransitionCpu(benchmark::State& state)
{
    TTransitionView view;
    view.SetThreaded(false);
    view.SetDelay(shortRun() ? 10 : 40);
    view.SetStyle(200); // no style cost: the wait is what is measured
    fillPicture(view.Picture(), Size{320, 240});
    view.show();
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double c0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        view.Execute();
        wall += seconds(std::chrono::steady_clock::now() - t0);
        cpu += cpuSeconds() - c0;
    }
    state.counters["cpu_fraction"] = cpu / wall;
}
BENCHMARK(BM_InlineTransitionCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
