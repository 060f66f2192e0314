// A soak of the real slideshow window: a looping show of generated pictures (12 and 2
// megapixels, and one damaged file) with a short interval, on an offscreen 1920 x 1080 screen,
// for a few hundred transitions, ended with the exit command as a user would. It prints the
// resident memory at the start (once the first pass is over and every cache is warm) and at the
// end, and the slope of a straight line fitted through it from then on, in kB per hundred
// transitions: a show that keeps nothing stays near 0. Run on demand (`tools/build.sh bench`);
// the short pass of the benchmarks skips it.
#include "bench/ShowHarness.h"
#include "forms/uSlide.h"
#include "scan/SharedState.h"

#include <lumivo/TransitionView.h>

#include <QApplication>
#include <QFile>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace lmvo::bench;

// LMVO_SOAK_TRANSITIONS asks for a longer or shorter soak.
int transitionsWanted()
{
    const char* n = std::getenv("LMVO_SOAK_TRANSITIONS");
    return n && std::atoi(n) > 0 ? std::atoi(n) : 300;
}
constexpr int IntervalMs = 100;
constexpr int DelayMs = 10;

struct Sample {
    double transition;
    double residentKb;
};

// Least-squares slope of resident memory over transitions.
double slope(const std::vector<Sample>& samples)
{
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Sample& s : samples) {
        n += 1;
        sx += s.transition;
        sy += s.residentKb;
        sxx += s.transition * s.transition;
        sxy += s.transition * s.residentKb;
    }
    const double d = n * sxx - sx * sx;
    return d > 0 ? (n * sxy - sx * sy) / d : 0;
}

const QTemporaryDir& workDir()
{
    static const QTemporaryDir dir;
    return dir;
}

std::vector<std::string> soakPictures()
{
    std::vector<std::string> files = generatedPictures(workDir(), 4000, 3000, 4);
    const std::vector<std::string> small = generatedPictures(workDir(), 1600, 1200, 4);
    files.insert(files.end(), small.begin(), small.end());
    const QString damaged = workDir().filePath(QStringLiteral("damaged.jpg"));
    QFile file(damaged);
    if (!file.open(QIODevice::WriteOnly) || file.write("\xFF\xD8\xFF\xDB not a picture") < 0)
        throw std::runtime_error("cannot write the damaged picture");
    files.insert(files.begin() + 3, damaged.toStdString());
    return files;
}

void BM_ShowSoak(benchmark::State& state)
{
    lmvo::PictureFiles = soakPictures();
    lmvo::LoopPlay = 1;
    CountedBoxes boxes;
    lmvo::setMessageBoxes(&boxes);
    const double firstPass = double(lmvo::PictureFiles.size());
    const int wanted = transitionsWanted();
    std::vector<Sample> samples;
    for (auto _ : state) {
        samples.clear();
        lmvo::Tfrm_slide form;
        form.TransitionView()->SetDelay(DelayMs);
        form.SetTimerInterval(IntervalMs);
        int transitions = 0;
        form.TransitionView()->OnComplete = [&](lmvo::TTransitionView&) {
            ++transitions;
            if (transitions > firstPass)
                samples.push_back({double(transitions), double(statusKb("VmRSS"))});
            if (transitions % 50 == 0) {
                std::printf("soak: transition %d, resident %.1f MB\n", transitions, statusKb("VmRSS") / 1024.0);
                std::fflush(stdout); // seen as it goes, also through a pipe
            }
            if (transitions == wanted)
                form.N4Click();
        };
        form.exec();
    }
    lmvo::setMessageBoxes(nullptr);
    if (samples.size() < 2) {
        state.SkipWithError("the show ended before its first pass was over");
        return;
    }
    const double perHundred = slope(samples) * 100;
    std::printf("soak: %d transitions, resident %.1f MB after the first pass, %.1f MB at the end, "
                "slope %.1f kB per 100 transitions, %d boxes\n",
                wanted, samples.front().residentKb / 1024, samples.back().residentKb / 1024, perHundred,
                boxes.shown);
    state.counters["rss_start_mb"] = samples.front().residentKb / 1024;
    state.counters["rss_end_mb"] = samples.back().residentKb / 1024;
    state.counters["slope_kb_per_100"] = perHundred;
    state.counters["boxes"] = boxes.shown;
}

} // namespace

int main(int argc, char** argv)
{
    if (shortRun()) {
        std::printf("BM_ShowSoak runs on demand only\n");
        return 0;
    }
    useOffscreenScreen(workDir(), 1920, 1080);
    setenv("XDG_RUNTIME_DIR", workDir().path().toUtf8().constData(), 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("BM_ShowSoak", BM_ShowSoak)->Iterations(1)->Unit(benchmark::kSecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
