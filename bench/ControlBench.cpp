// The picture view's costs, each as a ratio to a memcpy of the picture's bytes measured in the
// same run: one frame of style 0, and one Paint of a large picture stretched into a screen-
// sized control; the processor time an in-line transition uses against its wall time; and a
// slideshow tick: loading a large JPEG and composing the first frame of its transition.
#include "bench/Baseline.h"
#include "transition/PictureGraphic.h"
#include "transition/TransitionViewPrivate.h"

#include <QApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>

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
    lmvo::setGraphic(p, std::move(b));
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
        lmvo::TTransitionViewPrivate::of(view).Paint();
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

// A smooth gradient with noise, stored at quality 90 once per run: close to a photograph for
// the decoder, unlike a flat picture. The directory lives until the process ends.
const std::string& photoPath()
{
    static const QTemporaryDir dir;
    static const std::string path = [] {
        const Size s = pictureSize();
        QImage img(s.w, s.h, QImage::Format_RGB32);
        QRandomGenerator rng(11);
        for (int y = 0; y < s.h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < s.w; ++x) {
                const int noise = int(rng.bounded(24u)) - 12;
                row[x] = qRgb(std::clamp(x * 255 / s.w + noise, 0, 255), std::clamp(y * 255 / s.h + noise, 0, 255),
                              std::clamp(128 + noise, 0, 255));
            }
        }
        const QString file = dir.filePath(QStringLiteral("photo.jpg"));
        if (!dir.isValid() || !img.save(file, "JPEG", 90))
            throw std::runtime_error("cannot write the benchmark's JPEG");
        return file.toStdString();
    }();
    return path;
}

// A slideshow tick: load the next picture into a screen-sized view, prepare its transition
// and compose the first step of the given style. Painting is not included.
void BM_LoadAndFirstFrame(benchmark::State& state)
{
    const std::string& path = photoPath();
    TTransitionView view;
    view.resize(screenSize().w, screenSize().h);
    view.SetAutoSize(false);
    view.SetStretch(true);
    view.SetCenter(true);
    view.SetThreaded(false);
    view.SetManual(true);
    view.SetStyle(int(state.range(0)));
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        view.Picture().LoadFromFile(path);
        view.Execute();
        view.SetProgress(view.Step());
        view.Stop();
        total += seconds(std::chrono::steady_clock::now() - t0);
    }
    state.counters["ms"] = total * 1e3 / double(state.iterations());
    reportRatio(state, total);
}
// 51 composes through rectangles, 90 through a region.
BENCHMARK(BM_LoadAndFirstFrame)->Arg(51)->Arg(90)->MinTime(2.0)->Unit(benchmark::kMillisecond)->UseRealTime();

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
