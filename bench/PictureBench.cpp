// Decoding one photograph-sized picture (12 megapixels; 400 x 300 in the short pass) of each
// format, at full size and at a 1920 x 1080 screen's size, each as a ratio to the full-size
// JPEG decode measured in the same run; and a 48-megapixel JPEG (8000 x 6000; 800 x 600 in the
// short pass) at the screen's size; and JPEGs carrying a colour profile, to show what converting
// their colours costs. The pictures are made here, from one generated scene,
// by libvips (BMP by Qt); formats the loader does not read are reported and skipped.
#include "bench/Baseline.h"
#include "decoder/DecodeRequest.h"
#include "decoder/DecoderClient.h"
#include "decoder/ReplyParser.h"
#include "decoder/SharedPixels.h"
#include "picture/PictureLoad.h"
#include "tests/support/VipsWritten.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <vips/vips8>

#include <algorithm>
#include <chrono>
#include <fstream>

#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vips::VImage;

bool shortRun() { return std::getenv("LMVO_BENCH_SHORT") != nullptr; }

// A scene with smooth and busy parts, as a photograph has, so that every encoder has real work.
VImage scene(int w, int h)
{
    const VImage xy = VImage::xyz(w, h);
    const VImage x = xy[0], y = xy[1];
    const VImage r = (x * (255.0 / w)).cast(VIPS_FORMAT_UCHAR);
    const VImage g = ((x * 0.02).sin() * 60 + (y * 0.013).cos() * 60 + 128).cast(VIPS_FORMAT_UCHAR);
    const VImage b = (y * (200.0 / h) + VImage::gaussnoise(w, h, VImage::option()->set("sigma", 12.0))).cast(VIPS_FORMAT_UCHAR);
    return r.bandjoin(g).bandjoin(b).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).copy_memory();
}

std::string vipsFile(const char* suffix, vips::VOption* options = nullptr)
{
    static const VImage picture = shortRun() ? scene(400, 300) : scene(4000, 3000);
    return lmvo::test::vipsWritten(picture, suffix, options);
}

std::string bmpFile()
{
    const std::string ppm = vipsFile(".ppm");
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(ppm.data()), qsizetype(ppm.size()), "ppm");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "bmp").write(image);
    return bytes.toStdString();
}

std::string largeJpeg()
{
    const VImage picture = shortRun() ? scene(800, 600) : scene(8000, 6000);
    void* buffer = nullptr;
    std::size_t size = 0;
    picture.write_to_buffer(".jpg", &buffer, &size, VImage::option()->set("Q", 90));
    std::string bytes(static_cast<const char*>(buffer), size);
    g_free(buffer);
    return bytes;
}

struct Format {
    const char* label;
    const char* extension;
    std::string (*make)();
    bool atFullSize = true;
};

// Each as a camera, a phone or a web site would write it; HEIC and AVIF at the encoders'
// fastest settings and JPEG XL at a fast one, which change the file little and the time to make it a lot.
const Format kFormats[] = {
    {"jpg", "jpg", [] { return vipsFile(".jpg", VImage::option()->set("Q", 90)); }},
    {"png", "png", [] { return vipsFile(".png"); }},
    {"gif", "gif", [] { return vipsFile(".gif"); }},
    {"tif", "tif", [] { return vipsFile(".tif", VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW)); }},
    {"webp", "webp", [] { return vipsFile(".webp", VImage::option()->set("Q", 80)); }},
    {"heic", "heic", [] { return vipsFile(".heif", VImage::option()->set("compression", int(VIPS_FOREIGN_HEIF_COMPRESSION_HEVC))->set("effort", 0)); }},
    {"avif", "avif", [] { return vipsFile(".heif", VImage::option()->set("compression", int(VIPS_FOREIGN_HEIF_COMPRESSION_AV1))->set("effort", 0)); }},
    {"jxl", "jxl", [] { return vipsFile(".jxl", VImage::option()->set("Q", 80)->set("effort", 4)); }},
    {"bmp", "bmp", bmpFile},
    {"jpg-48MP", "jpg", largeJpeg, false},
    // A phone's wide-gamut photograph, converted to sRGB; a camera's sRGB one, left as it is.
    {"jpg-p3-profile", "jpg", [] { return vipsFile(".jpg", VImage::option()->set("Q", 90)->set("profile", "p3")); }},
    {"jpg-srgb-profile", "jpg", [] { return vipsFile(".jpg", VImage::option()->set("Q", 90)->set("profile", "srgb")); }},
};

const std::string& file(const Format& f)
{
    static std::map<std::string, std::string> files;
    auto it = files.find(f.label);
    if (it == files.end())
        it = files.emplace(f.label, f.make()).first;
    return it->second;
}

lmvo::Bitmap decode(const Format& f, bool full)
{
    return full ? lmvo::decodePicture(f.extension, file(f), f.extension)
                : lmvo::decodePictureAt(f.extension, file(f), f.extension, {1920, 1080, lmvo::FitMode::FitInside});
}

double jpegSeconds()
{
    static const double s = lmvo::bench::medianSeconds([] { benchmark::DoNotOptimize(decode(kFormats[0], true)); }, 5);
    return s;
}

void BM_Decode(benchmark::State& state, const Format& f, bool full)
{
    (void)file(f);
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(decode(f, full));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.counters["ratio_to_jpeg"] = total / double(state.iterations()) / jpegSeconds();
    state.counters["file_kb"] = double(file(f).size()) / 1024;
}

// The decoder process's cost: the same 12-megapixel JPEG decoded at a screen's size in this
// process and through the decoder process (the file handed over, the pixels mapped back),
// alternately, so that both meet the same machine. The difference is what the process boundary
// costs a picture; its targets are 10 ms at 1920 x 1080 and 25 ms at 3840 x 2160.
void BM_ProcessBoundary(benchmark::State& state, lmvo::DisplaySize size, double targetMs)
{
    static const QTemporaryDir dir;
    const Format& jpeg = kFormats[0];
    const std::string path = dir.filePath(QStringLiteral("photo.jpg")).toStdString();
    std::ofstream(path, std::ios::binary) << file(jpeg);
    lmvo::startDecoderAhead();
    benchmark::DoNotOptimize(lmvo::decodeFileAt(path, size)); // the process starts and warms up
    std::vector<double> inProcess, throughProcess, boundary;
    for (auto _ : state) {
        inProcess.push_back(lmvo::bench::medianSeconds(
            [&] { benchmark::DoNotOptimize(lmvo::decodePictureAt("jpg", file(jpeg), path, size)); }, 1));
        throughProcess.push_back(
            lmvo::bench::medianSeconds([&] { benchmark::DoNotOptimize(lmvo::decodeFileAt(path, size)); }, 1));
        boundary.push_back(throughProcess.back() - inProcess.back());
    }
    // Medians of the pairs: a shared machine's hiccups land in single pairs.
    const auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2] * 1e3;
    };
    const double boundaryMs = median(boundary);
    state.counters["in_process_ms"] = median(inProcess);
    state.counters["through_process_ms"] = median(throughProcess);
    state.counters["boundary_ms"] = boundaryMs;
    state.counters["ratio_to_target"] = boundaryMs / targetMs;
}

// The part of the boundary that grows with the picture, without the noise of two processes on a
// shared machine: a picture made in shared memory, as the decoder process makes it, sealed,
// then checked, mapped and populated as the program takes it; less the same picture made with
// new[], as a decode in process makes it.
void BM_PixelHandover(benchmark::State& state, lmvo::DisplaySize size)
{
    lmvo::decoder::Request request;
    request.width = size.width;
    request.height = size.height;
    lmvo::decoder::ReplyHeader header;
    header.status = lmvo::decoder::ReplyStatus::Picture;
    header.width = size.width;
    header.height = size.height;
    const auto* message = reinterpret_cast<const unsigned char*>(&header);
    double handedOver = 0, inProcess = 0;
    for (auto _ : state) {
        handedOver += lmvo::bench::medianSeconds(
            [&] {
                lmvo::Bitmap::setPixelAllocator(&lmvo::decoder::sharedPixelAllocator());
                lmvo::Bitmap picture(size.width, size.height);
                lmvo::Bitmap::setPixelAllocator(nullptr);
                lmvo::UniqueFd pixels = lmvo::decoder::takePixelStore(picture.bits());
                picture = lmvo::Bitmap();
                ::fcntl(pixels.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE);
                benchmark::DoNotOptimize(lmvo::decoder::pictureOfReply({message, sizeof header}, std::move(pixels), request));
            },
            1);
        inProcess += lmvo::bench::medianSeconds([&] { benchmark::DoNotOptimize(lmvo::Bitmap(size.width, size.height)); }, 1);
    }
    state.counters["handover_ms"] = (handedOver - inProcess) / double(state.iterations()) * 1e3;
}

} // namespace

int main(int argc, char** argv)
{
    if (VIPS_INIT(argv[0]) != 0)
        return 1;
    benchmark::Initialize(&argc, argv);
    for (const Format& f : kFormats) {
        if (!lmvo::isPictureExtension(f.extension)) {
            std::fprintf(stderr, "not benchmarked: the loader does not read .%s\n", f.extension);
            continue;
        }
        for (const bool full : {true, false}) {
            if (full && !f.atFullSize)
                continue;
            benchmark::RegisterBenchmark((std::string("BM_Decode/") + f.label + (full ? "/full" : "/1920x1080")).c_str(),
                                         BM_Decode, f, full)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    benchmark::RegisterBenchmark("BM_ProcessBoundary/jpg/1920x1080", BM_ProcessBoundary,
                                 lmvo::DisplaySize{1920, 1080, lmvo::FitMode::FitInside}, 10.0)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_ProcessBoundary/jpg/3840x2160", BM_ProcessBoundary,
                                 lmvo::DisplaySize{3840, 2160, lmvo::FitMode::FitInside}, 25.0)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    for (const lmvo::DisplaySize size : {lmvo::DisplaySize{1920, 1080}, lmvo::DisplaySize{3840, 2160}})
        benchmark::RegisterBenchmark(("BM_PixelHandover/" + std::to_string(size.width) + "x" + std::to_string(size.height)).c_str(),
                                     BM_PixelHandover, size)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vips_shutdown();
    return 0;
}
