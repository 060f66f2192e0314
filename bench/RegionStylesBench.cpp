// One frame of every region style, halfway through a transition with step 4, at a large
// picture size and at full HD. Each frame is reported as a multiple of a memcpy of the
// frame's bytes, together with the share of that frame spent building the region alone.
// LMVO_BENCH_SHORT selects small sizes for a quick pass.

#include "bench/Baseline.h"
#include "transition/engine/FrameRenderer.h"
#include "transition/engine/RegionStyles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lmvo {
namespace {

constexpr int Step = 4;
constexpr std::uint8_t Halfway = 50;
constexpr double Target = 4.0;

struct QuietHost : FrameHost {
    void invalidateArea(const Rect&) override {}
    bool customDraw(Bitmap&, Bitmap&) override { return false; }
};

// The three buffers of one picture size, made once and shared by every style.
struct Buffers {
    Buffers(int w, int h) : display(w, h), old(w, h), fresh(w, h)
    {
        old.fillRect(old.bounds(), 0x204060);
        fresh.fillRect(fresh.bounds(), 0xF0C080);
    }
    [[nodiscard]] std::size_t bytes() const
    {
        return std::size_t(display.width()) * std::size_t(display.height()) * sizeof(std::uint32_t);
    }
    Bitmap display, old, fresh;
};

struct Result {
    double frame = 0;  // frame time / memcpy time
    double region = 0; // region building time / memcpy time
};

struct SizeColumn {
    std::string name;
    std::unique_ptr<Buffers> buffers;
    std::map<int, Result> results;
};

std::vector<SizeColumn>& columns()
{
    static std::vector<SizeColumn> c;
    return c;
}

double median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The machine is shared and its load changes from one second to the next, so the memcpy
// baseline is timed right after each style's frames, on the same buffers, and both are
// medians.
double memcpyNow(Buffers& b)
{
    return bench::medianSeconds([&] {
        std::memcpy(b.display.bits(), b.old.bits(), b.bytes());
        benchmark::ClobberMemory();
    });
}

void frameOfStyle(benchmark::State& state, SizeColumn* column, int style)
{
    Buffers& b = *column->buffers;
    QuietHost host;
    Random rnd(7);
    const FrameBuffers frame{b.display, b.old, b.fresh};
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::uint8_t progress = Halfway;
        composeFrame(host, frame, style, Step, progress, rnd);
        benchmark::ClobberMemory();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const FrameGeometry g = FrameGeometry::of(b.display.width(), b.display.height(), Halfway, Step);
    const double region = bench::medianSeconds([&] { benchmark::DoNotOptimize(regionStyleRegion(style, g, rnd)); }, 5);
    const double memcpy = memcpyNow(b);
    Result& r = column->results[style];
    r.frame = median(times) / memcpy;
    r.region = region / memcpy;
    state.counters["x_memcpy"] = r.frame;
    state.counters["region_x_memcpy"] = r.region;
}

void printTable()
{
    std::printf("\nRegion styles, one frame at progress %d, step %d, in multiples of a memcpy of the frame\n",
                int(Halfway), Step);
    std::printf("%-6s", "style");
    for (const SizeColumn& c : columns())
        std::printf(" | %9s: frame region", c.name.c_str());
    std::printf("\n");
    int misses = 0;
    for (int style = FirstRegionStyle; style <= LastRegionStyle; ++style) {
        std::printf("%-6d", style);
        for (std::size_t i = 0; i < columns().size(); ++i) {
            const Result r = columns()[i].results[style];
            const bool miss = i == 0 && r.frame > Target;
            misses += miss ? 1 : 0;
            std::printf(" | %16.2f%s%6.2f", r.frame, miss ? "!" : " ", r.region);
        }
        std::printf("\n");
    }
    std::printf("styles above %.0fx at %s: %d\n", Target, columns().front().name.c_str(), misses);
}

} // namespace
} // namespace lmvo

int main(int argc, char** argv)
{
    using namespace lmvo;
    const bool brief = std::getenv("LMVO_BENCH_SHORT") != nullptr;
    const std::vector<std::pair<int, int>> sizes =
        brief ? std::vector<std::pair<int, int>>{{400, 300}, {192, 108}}
              : std::vector<std::pair<int, int>>{{4000, 3000}, {1920, 1080}};
    columns().reserve(sizes.size());
    for (const auto& [w, h] : sizes)
        columns().push_back(
            SizeColumn{std::to_string(w) + "x" + std::to_string(h), std::make_unique<Buffers>(w, h), {}});
    for (SizeColumn& c : columns())
        for (int style = FirstRegionStyle; style <= LastRegionStyle; ++style)
            benchmark::RegisterBenchmark(("RegionStyle/" + c.name + "/" + std::to_string(style)).c_str(),
                                         frameOfStyle, &c, style)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(brief ? 0.01 : 0.3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printTable();
    return 0;
}
