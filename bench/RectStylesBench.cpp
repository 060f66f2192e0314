// One frame of every rectangle style at progress 50, as a multiple of a memcpy of the
// frame's bytes timed right after it. The frame includes the draw of the old picture, so a bare wipe costs a
// little over 1. Target: no style above 3 at 4000 x 3000.
//
// LMVO_BENCH_SHORT uses small pictures so that a quick pass only proves the bench runs.

#include "bench/Baseline.h"
#include "transition/engine/FrameRenderer.h"
#include "transition/engine/RectStyles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace lmvo;

struct NullHost : FrameHost {
    void invalidateArea(const Rect&) override {}
    bool customDraw(Bitmap&, Bitmap&) override { return false; }
};

// The three buffers of a transition, allocated once per size and filled with a pattern so
// that no page stays untouched.
struct Buffers {
    Bitmap oldPicture, newPicture, display;
    Buffers(int w, int h) : oldPicture(w, h), newPicture(w, h), display(w, h)
    {
        for (std::size_t i = 0, n = std::size_t(w) * std::size_t(h); i < n; ++i) {
            oldPicture.bits()[i] = pixelOf(Color(i * 2654435761u));
            newPicture.bits()[i] = pixelOf(Color(i * 40503u));
        }
    }
};

using Size = std::pair<int, int>;
std::map<Size, std::unique_ptr<Buffers>> buffers;
std::map<Size, std::map<int, double>> ratios; // by size, then style

Buffers& buffersFor(Size s)
{
    auto& b = buffers[s];
    if (!b)
        b = std::make_unique<Buffers>(s.first, s.second);
    return *b;
}

// The memcpy baseline is timed on the same buffers right after the frames of each style,
// so that both see the same load on a busy machine.
void frameOfStyle(benchmark::State& state, int style, Size size)
{
    Buffers& b = buffersFor(size);
    const std::size_t bytes = std::size_t(size.first) * std::size_t(size.second) * 4;
    NullHost host;
    Random rnd;
    std::vector<double> seconds;
    for (auto _ : state) {
        std::uint8_t progress = 50;
        const auto t0 = std::chrono::steady_clock::now();
        composeFrame(host, FrameBuffers{b.display, b.oldPicture, b.newPicture}, style, 4, progress, rnd);
        benchmark::ClobberMemory();
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        state.SetIterationTime(seconds.back());
    }
    std::nth_element(seconds.begin(), seconds.begin() + std::ptrdiff_t(seconds.size() / 2), seconds.end());
    const double memcpySeconds = bench::medianSeconds([&] {
        std::memcpy(b.display.bits(), b.newPicture.bits(), bytes);
        benchmark::ClobberMemory();
    });
    const double ratio = seconds[seconds.size() / 2] / memcpySeconds;
    state.counters["x_memcpy"] = ratio;
    ratios[size][style] = ratio;
}

void printTable(const std::vector<Size>& sizes)
{
    std::printf("\nstyle");
    for (Size s : sizes)
        std::printf("  %5dx%-5d", s.first, s.second);
    std::printf("   (frame time / memcpy of the frame's bytes)\n");
    std::vector<double> worst(sizes.size(), 0.0);
    for (int style = FirstRectStyle; style <= LastRectStyle; ++style) {
        std::printf("%5d", style);
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const auto& bySize = ratios[sizes[i]];
            const auto it = bySize.find(style);
            if (it == bySize.end()) {
                std::printf("  %11s", "-");
                continue;
            }
            worst[i] = std::max(worst[i], it->second);
            std::printf("  %11.2f", it->second);
        }
        std::printf("\n");
    }
    std::printf("worst");
    for (double w : worst)
        std::printf("  %11.2f", w);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    const bool shortPass = std::getenv("LMVO_BENCH_SHORT") != nullptr;
    const std::vector<Size> sizes =
        shortPass ? std::vector<Size>{{400, 300}, {192, 108}} : std::vector<Size>{{4000, 3000}, {1920, 1080}};
    for (Size s : sizes)
        for (int style = FirstRectStyle; style <= LastRectStyle; ++style)
            benchmark::RegisterBenchmark(
                ("RectStyle/" + std::to_string(style) + "/" + std::to_string(s.first) + "x" + std::to_string(s.second))
                    .c_str(),
                frameOfStyle, style, s)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printTable(sizes);
    return 0;
}
