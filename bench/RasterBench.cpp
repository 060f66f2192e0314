// The copies every transition frame is made of, each also reported as x_memcpy: its time over
// that of a plain memcpy of the bytes it writes, measured in the same run.

#include "bench/Baseline.h"
#include "raster/Bitmap.h"
#include "raster/Region.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

using namespace lmvo;

struct Size {
    int w, h;
};

// LMVO_BENCH_SHORT keeps CI's pass quick.
bool shortRun() { return std::getenv("LMVO_BENCH_SHORT") != nullptr; }
Size picture() { return shortRun() ? Size{400, 300} : Size{4000, 3000}; }
Size screen() { return shortRun() ? Size{192, 108} : Size{1920, 1080}; }

Bitmap patterned(Size s)
{
    Bitmap b(s.w, s.h);
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
            b.setPixel(x, y, Color(x * 7 + y * 13));
    return b;
}

// Runs `op` as the benchmark body, then reports its median time over memcpy of `bytes`
// (and the bytes it writes as its throughput, for copies).
template <typename F>
void measure(benchmark::State& state, std::size_t bytes, F&& op, bool writesBytes = true)
{
    for (auto _ : state) {
        op();
        benchmark::ClobberMemory();
    }
    const double own = bench::medianSeconds(op, 7);
    state.counters["x_memcpy"] = own / bench::memcpySeconds(bytes);
    if (writesBytes)
        state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

void wholePictureCopy(benchmark::State& state)
{
    const Size s = picture();
    const Bitmap src = patterned(s);
    Bitmap dst(s.w, s.h);
    measure(state, std::size_t(s.w) * s.h * 4, [&] { dst.draw(0, 0, src); });
}

void clippedCopy600Strips(benchmark::State& state)
{
    const Size s = picture();
    const Bitmap src = patterned(s);
    Bitmap dst(s.w, s.h);
    // 600 horizontal strips, each half of its period: the shape of the strip styles.
    std::vector<Rect> strips;
    const int period = std::max(1, s.h / 600);
    std::size_t pixels = 0;
    for (int i = 0; i < 600; ++i) {
        const int top = i * s.h / 600, height = std::max(1, period / 2 + 1);
        strips.push_back(Rect{0, top, s.w, std::min(s.h, top + height)});
        pixels += std::size_t(s.w) * std::size_t(std::min(s.h, top + height) - top);
    }
    dst.intersectClip(Region::fromRects(strips));
    measure(state, pixels * 4, [&] { dst.draw(0, 0, src); });
}

void stretchPictureOntoScreen(benchmark::State& state)
{
    const Size s = picture(), d = screen();
    const Bitmap src = patterned(s);
    Bitmap dst(d.w, d.h);
    measure(state, std::size_t(d.w) * d.h * 4, [&] { dst.stretchDraw(dst.bounds(), src); });
    // Each destination row reads a whole source row from memory (the columns it takes are
    // closer together than a cache line), which a copy of the destination bytes does not.
    const double own = bench::medianSeconds([&] { dst.stretchDraw(dst.bounds(), src); }, 7);
    state.counters["x_memcpy_src"] = own / bench::memcpySeconds(std::size_t(s.w) * d.h * 4);
}

void fullFrameZoom2x(benchmark::State& state)
{
    const Size s = picture();
    const Bitmap src = patterned(s);
    Bitmap dst(s.w, s.h);
    const Rect centre{s.w / 4, s.h / 4, s.w / 4 + s.w / 2, s.h / 4 + s.h / 2};
    measure(state, std::size_t(s.w) * s.h * 4, [&] { dst.copyRect(dst.bounds(), src, centre); });
}

void fullFrameMirror(benchmark::State& state)
{
    const Size s = picture();
    const Bitmap src = patterned(s);
    Bitmap dst(s.w, s.h);
    measure(state, std::size_t(s.w) * s.h * 4, [&] { dst.stretchBlt(s.w - 1, 0, -s.w, s.h, src, 0, 0, s.w, s.h); });
}

// Building the regions of the rounded and triangular styles, against a copy of the frame they
// clip: a region costs a fraction of the frame it is drawn with.
void roundedCornerFrontRegion(benchmark::State& state)
{
    const Size s = picture();
    const int px = s.w / 2, py = s.h / 2;
    measure(
        state, std::size_t(s.w) * s.h * 4,
        [&] { benchmark::DoNotOptimize(Region::CreateRoundRectRgn(-2 * s.w, -2 * s.h, 2 * px, 2 * py, 2 * s.w, 2 * s.h)); },
        false);
}

void diagonalTriangleRegion(benchmark::State& state)
{
    const Size s = picture();
    measure(
        state, std::size_t(s.w) * s.h * 4,
        [&] { benchmark::DoNotOptimize(Region::CreateTriangleRgn(0, 0, s.w, 0, 0, s.h)); }, false);
}

BENCHMARK(roundedCornerFrontRegion)->Unit(benchmark::kMillisecond);
BENCHMARK(diagonalTriangleRegion)->Unit(benchmark::kMillisecond);
BENCHMARK(wholePictureCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(clippedCopy600Strips)->Unit(benchmark::kMillisecond);
BENCHMARK(stretchPictureOntoScreen)->Unit(benchmark::kMillisecond);
BENCHMARK(fullFrameZoom2x)->Unit(benchmark::kMillisecond);
BENCHMARK(fullFrameMirror)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
