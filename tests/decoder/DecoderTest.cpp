// The decoder process as the program meets it: every format gives through it exactly the pixels
// the picture layer gives in process; hostile files are refused without the program's memory
// moving; a process that crashes, is killed, breaks out of its filter or lies gives one error
// naming the file, and the next picture decodes.
#include "decoder/DecoderClient.h"
#include "picture/PictureLoad.h"
#include "tests/ParamName.h"
#include "tests/support/JxlWritten.h"
#include "tests/support/VipsWritten.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vips/vips8>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include <sys/stat.h>

namespace lmvo {
namespace {

using ::testing::HasSubstr;
using vips::VImage;

std::string write(const QTemporaryDir& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

VImage scene(int w, int h)
{
    if (vips_init("test") != 0)
        throw std::runtime_error("libvips cannot start");
    const VImage xy = VImage::xyz(w, h);
    return (xy[0] * (255.0 / w))
        .bandjoin(xy[1] * (255.0 / h))
        .bandjoin((xy[0] + xy[1]) * (127.0 / (w + h)))
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

std::string qtWritten(const char* format)
{
    const std::string ppm = test::vipsWritten(scene(48, 32), ".ppm");
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(ppm.data()), qsizetype(ppm.size()), "ppm");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

// ---- every format through the process ----

struct FormatCase {
    const char* extension;
    std::function<std::string()> make;
    friend void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.extension; }
};

std::vector<FormatCase> formatCases()
{
    const auto vips = [](const char* suffix, std::function<vips::VOption*()> options = {}) {
        return [suffix, options] { return test::vipsWritten(scene(48, 32), suffix, options ? options() : nullptr); };
    };
    const auto heif = [](VipsForeignHeifCompression compression) {
        return [compression] {
            return test::vipsWritten(scene(48, 32), ".heif",
                                     VImage::option()->set("compression", int(compression))->set("effort", 0));
        };
    };
    return {
        {"jpg", vips(".jpg")},
        {"jpeg", vips(".jpg", [] { return VImage::option()->set("interlace", true); })},
        {"png", vips(".png")},
        {"gif", vips(".gif")},
        {"tif", vips(".tif")},
        {"webp", vips(".webp", [] { return VImage::option()->set("lossless", true); })},
        {"heic", heif(VIPS_FOREIGN_HEIF_COMPRESSION_HEVC)},
        {"avif", heif(VIPS_FOREIGN_HEIF_COMPRESSION_AV1)},
        {"jxl", [] { return test::jxlWritten({scene(48, 32)}); }},
        {"bmp", [] { return qtWritten("BMP"); }},
        {"ico", [] { return qtWritten("ICO"); }},
    };
}

bool samePixels(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.bits(), b.bits(), std::size_t(a.width()) * std::size_t(a.height()) * 4) == 0;
}

class FormatThroughProcessTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatThroughProcessTest, GivesExactlyThePixelsOfTheDecodeInProcess)
{
    QTemporaryDir dir;
    const FormatCase& c = GetParam();
    const std::string bytes = c.make();
    const std::string path = write(dir, std::string("picture.") + c.extension, bytes);
    const DisplaySize size{37, 23, FitMode::FitInside};
    EXPECT_TRUE(samePixels(decodeFile(path), decodePicture(c.extension, bytes, path)));
    Bitmap shown = decodeFileAt(path, size);
    EXPECT_TRUE(samePixels(shown, decodePictureAt(c.extension, bytes, path, size)));
    shown.setPixel(0, 0, 0x123456); // the mapping is the program's own to draw on
    EXPECT_EQ(shown.pixel(0, 0), 0x123456u);
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatThroughProcessTest, ::testing::ValuesIn(formatCases()), test::PrintedName{});

// ---- hostile files ----

std::uint32_t crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string bigEndian(std::uint32_t v, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char((v >> (8 * i)) & 0xFF);
    return out;
}

std::string littleEndian(std::uint32_t v, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xFF);
    return out;
}

std::string pngChunk(const std::string& type, const std::string& data)
{
    return bigEndian(std::uint32_t(data.size()), 4) + type + data + bigEndian(crc32(type + data), 4);
}

// A valid PNG signature and header declaring 65000 x 65000 RGB pixels, and a few bytes of data.
std::string hugePng()
{
    const std::string header = bigEndian(65000, 4) + bigEndian(65000, 4) + std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", std::string("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10)) + pngChunk("IEND", "");
}

// A small progressive JPEG whose frame header says 65500 x 65500.
std::string hugeProgressiveJpeg()
{
    std::string bytes = test::vipsWritten(scene(64, 64), ".jpg", VImage::option()->set("interlace", true));
    const std::size_t sof = bytes.find("\xFF\xC2");
    bytes.replace(sof + 5, 4, bigEndian(65500, 2) + bigEndian(65500, 2));
    return bytes;
}

// A little-endian TIFF of 63248 x 9 pixels of 1025 samples of 32 bits each, in 252 bytes.
std::string manySampleTiff()
{
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t value;
    };
    const Entry entries[] = {{256, 4, 63248}, {257, 4, 9},   {258, 3, 32}, {259, 3, 1}, {262, 3, 1},
                             {273, 4, 200},   {277, 3, 1025}, {278, 4, 9},  {279, 4, 52}, {284, 3, 1}};
    std::string out = std::string("II*\0", 4) + littleEndian(8, 4) + littleEndian(std::size(entries), 2);
    for (const Entry& e : entries)
        out += littleEndian(e.tag, 2) + littleEndian(e.type, 2) + littleEndian(1, 4) + littleEndian(e.value, 4);
    out += littleEndian(0, 4);
    out.resize(252, '\x55');
    return out;
}

std::string half(std::string bytes)
{
    bytes.resize(bytes.size() / 2);
    return bytes;
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key)
        if (key == "VmRSS:" && status >> kb)
            return kb;
    return -1;
}

struct HostileCase {
    const char* name;
    const char* file;
    std::function<std::string()> make; // none: a FIFO
    friend void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }
};

class HostileFileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFileTest, IsRefusedNamingTheFileWithoutTheProgramGrowing)
{
    QTemporaryDir dir;
    const HostileCase& c = GetParam();
    std::string path = dir.filePath(QString::fromUtf8(c.file)).toStdString();
    if (c.make)
        path = write(dir, c.file, c.make());
    else
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const long before = residentKb();
    for (const std::optional<DisplaySize> size : {std::optional(DisplaySize{1920, 1080}), std::optional<DisplaySize>()}) {
        try {
            (void)(size ? decodeFileAt(path, *size) : decodeFile(path));
            ADD_FAILURE() << "decoded";
        } catch (const PictureError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.file));
        }
    }
    EXPECT_LT(residentKb() - before, 32 * 1024) << "kB more resident in the program";
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFileTest,
    ::testing::Values(HostileCase{"progressive JPEG of 65500 x 65500", "huge.jpg", hugeProgressiveJpeg},
                      HostileCase{"TIFF of 1025 samples a pixel", "samples.tif", manySampleTiff},
                      HostileCase{"PNG of 65000 x 65000", "huge.png", hugePng},
                      HostileCase{"truncated PNG", "cut.png", [] { return half(test::vipsWritten(scene(300, 200), ".png")); }},
                      HostileCase{"truncated HEIC", "cut.heic",
                                  [] {
                                      return half(test::vipsWritten(scene(300, 200), ".heif",
                                                                    VImage::option()->set("effort", 0)));
                                  }},
                      HostileCase{"FIFO", "fifo.jpg", nullptr}),
    test::PrintedName{});

// ---- a decoder process that misbehaves ----

struct FaultCase {
    const char* cue;
    PictureProblem problem;
    const char* detail;
    friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.cue; }
};

class DecoderFaultTest : public ::testing::TestWithParam<FaultCase> {
protected:
    void SetUp() override { setDecoderProgram(LMVO_DECODER_PROBE); }
    void TearDown() override { setDecoderProgram({}); }
    QTemporaryDir dir;
};

TEST_P(DecoderFaultTest, IsOneErrorNamingTheFileAndTheNextPictureDecodes)
{
    const FaultCase& c = GetParam();
    const std::string bad = write(dir, "bad.png", std::string("PROBE ") + c.cue);
    const std::string good = write(dir, "good.png", test::vipsWritten(scene(48, 32), ".png"));
    try {
        (void)decodeFileAt(bad, {40, 30});
        ADD_FAILURE() << "decoded";
    } catch (const PictureError& e) {
        EXPECT_EQ(e.problem(), c.problem) << e.what();
        EXPECT_THAT(e.what(), HasSubstr("bad.png"));
        EXPECT_THAT(e.detail(), HasSubstr(c.detail));
    }
    EXPECT_EQ(decodeFileAt(good, {40, 30}).width(), 40);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DecoderFaultTest,
    ::testing::Values(FaultCase{"kill", PictureProblem::TooCostly, "SIGKILL"},
                      // (under the sanitizers their handler reports the crash and exits instead)
                      FaultCase{"segv", PictureProblem::DecoderStopped, ""},
                      FaultCase{"socket", PictureProblem::DecoderStopped, "SIGSYS"},
                      FaultCase{"write", PictureProblem::DecoderStopped, "SIGSYS"},
                      FaultCase{"wrong-size", PictureProblem::DecoderStopped, "another size"},
                      FaultCase{"unsealed", PictureProblem::DecoderStopped, "not sealed"}),
    test::PrintedName{});

TEST_F(DecoderFaultTest, AStopKillsADecodeThatNeverAnswers)
{
    const std::string path = write(dir, "slow.jpg", "PROBE hang");
    // Whether the stop comes before the request is out or while the probe hangs on it, the
    // decode ends cancelled: it never waits for an answer that will not come.
    std::stop_source stop;
    const std::jthread stopper([&] { stop.request_stop(); });
    EXPECT_THROW((void)decodeFileAt(path, {40, 30}, stop.get_token()), PictureCancelled);
}

} // namespace
} // namespace lmvo
