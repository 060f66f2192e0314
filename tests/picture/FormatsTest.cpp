// Every format read through libvips, at full size and at display size, from files the tests
// write themselves: libvips' writers, libheif's encoder for rotated HEIF, libjxl's for turned
// and animated JPEG XL, a profile built with
// Little CMS that swaps the red and green primaries, and hand-made chunks where no writer
// makes them.
#include "picture/PictureLoad.h"
#include "tests/ParamName.h"
#include "tests/support/JxlWritten.h"
#include "tests/picture/TestExif.h"
#include "tests/support/VipsWritten.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <lcms2.h>
#include <libexif/exif-data.h>
#include <libheif/heif.h>
#include <vips/vips8>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace lmvo {
namespace {

using ::testing::HasSubstr;
using vips::VImage;

// ---- writing test files ----

const std::array<std::vector<double>, 4> kQuadrants{{{220, 30, 30}, {30, 200, 40}, {40, 50, 210}, {230, 230, 230}}};
const std::array<Color, 4> kColours{0xDC1E1E, 0x1EC828, 0x2832D2, 0xE6E6E6};

VImage srgb(const VImage& image)
{
    return image.cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// One band as a 16-bit grey picture.
VImage grey16(const VImage& band)
{
    return (band * 257).cast(VIPS_FORMAT_USHORT).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_GREY16));
}

// Four flat quadrants of kQuadrants (top left, top right, bottom left, bottom right), with an
// alpha band when `alpha` gives one value per quadrant.
VImage quadrants(int w, int h, std::vector<double> alpha = {})
{
    if (vips_init("test") != 0)
        throw std::runtime_error("libvips cannot start");
    const VImage xy = VImage::xyz(w, h);
    const VImage right = xy[0] >= w / 2, bottom = xy[1] >= h / 2;
    auto q = kQuadrants;
    if (!alpha.empty())
        for (int i = 0; i < 4; ++i)
            q[i].push_back(alpha[i]);
    return srgb(bottom.ifthenelse(right.ifthenelse(q[3], q[2]), right.ifthenelse(q[1], q[0])));
}

using test::vipsWritten;

VImage with(const VImage& image, const char* field, int value)
{
    VImage copy = image.copy();
    copy.set(field, value);
    return copy;
}

VImage withProfile(const VImage& image, const std::string& profile)
{
    VImage copy = image.copy();
    const VipsCallbackFn free = [](void* data, void*) {
        g_free(data);
        return 0;
    };
    copy.set(VIPS_META_ICC_NAME, free, g_memdup2(profile.data(), profile.size()), profile.size());
    return copy;
}

// An RGB profile with sRGB's white and tone curve whose red and green primaries trade places:
// a pixel stored as red shows green.
std::string swappedPrimariesProfile()
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries{{0.30, 0.60, 1}, {0.64, 0.33, 1}, {0.15, 0.06, 1}};
    const double srgbCurve[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return bytes;
}

// A profile's header with nothing behind it.
std::string brokenProfile()
{
    return swappedPrimariesProfile().substr(0, 132);
}

// `pages` pages (frames) of which the first is `first` and the rest are inverted copies.
VImage paged(const VImage& first, int pages)
{
    VImage all = first;
    for (int i = 1; i < pages; ++i)
        all = all.join(srgb(first.invert()), VIPS_DIRECTION_VERTICAL);
    VImage out = all.copy();
    out.set("page-height", first.height());
    return out;
}

std::uint32_t crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string be32(std::uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// A PNG with an eXIf chunk holding the orientation (libvips writes none).
std::string pngWithOrientation(const VImage& image, int orientation)
{
    const std::string body = "eXIf" + test::exifOrientation(orientation, EXIF_BYTE_ORDER_INTEL).substr(6); // without "Exif\0\0"
    std::string png = vipsWritten(image, ".png");
    png.insert(png.find("IDAT") - 4, be32(std::uint32_t(body.size() - 4)) + body + be32(crc32(body)));
    return png;
}

// A HEIF (HEVC) or AVIF (AV1) file turned by its own transformations, as a phone writes them.
std::string heifWithOrientation(heif_compression_format compression, int orientation)
{
    const int w = 64, h = 32;
    heif_context* context = heif_context_alloc();
    heif_image* image = nullptr;
    heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, w, h, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                plane[y * stride + 3 * x + c] = std::uint8_t(kQuadrants[(y >= h / 2) * 2 + (x >= w / 2)][c]);
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, compression, &encoder);
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    heif_context_encode_image(context, image, encoder, options, nullptr);
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    heif_image_release(image);
    std::string bytes;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(context, &writer, &bytes);
    heif_context_free(context);
    return bytes;
}

// ---- what a decoded picture shows ----

::testing::AssertionResult near(Color actual, Color expected, int tolerance)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int(actual >> shift & 0xFF) - int(expected >> shift & 0xFF)) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
    return ::testing::AssertionSuccess();
}

std::array<Color, 4> quadrantCentres(const Bitmap& b)
{
    const int w = b.width(), h = b.height();
    return {b.pixel(w / 4, h / 4), b.pixel(3 * w / 4, h / 4), b.pixel(w / 4, 3 * h / 4), b.pixel(3 * w / 4, 3 * h / 4)};
}

// The upright quadrants each orientation shows, as stored quadrant numbers.
std::array<int, 4> shownBy(int orientation)
{
    constexpr std::array<std::array<int, 4>, 9> kShown{{{0, 1, 2, 3}, {0, 1, 2, 3}, {1, 0, 3, 2}, {3, 2, 1, 0},
                                                        {2, 3, 0, 1}, {0, 2, 1, 3}, {2, 0, 3, 1}, {3, 1, 2, 0},
                                                        {1, 3, 0, 2}}};
    return kShown[orientation];
}

Color swapRedGreen(Color c)
{
    return (c & 0xFF0000) >> 8 | (c & 0x00FF00) << 8 | (c & 0xFF);
}

std::string failureOf(const std::function<void()>& load)
{
    try {
        load();
    } catch (const PictureError& e) {
        return e.what();
    }
    return "no failure";
}

// ---- the table ----

struct FormatCase {
    const char* extension;
    const char* name;
    std::function<std::string()> file; // stored 64 x 32 unless turned
    int orientation = 1;                // the upright picture is 32 x 64 when turned
    std::function<Color(Color)> shows = {}; // the colour a stored one shows as; none: itself
    std::array<double, 4> alpha = {255, 255, 255, 255};
    int tolerance = 6;
    bool atFullSize = true; // JPEG's full size is libjpeg's, tested on its own
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.extension << " " << c.name; }

const VImage& plain()
{
    static const VImage image = quadrants(64, 32);
    return image;
}

std::vector<FormatCase> formatCases()
{
    const auto q = [] { return plain(); };
    const auto turned = [](int o) { return with(plain(), VIPS_META_ORIENTATION, o); };
    const auto profiled = [](const std::string& p) { return withProfile(plain(), p); };
    const auto lossless = [] { return VImage::option()->set("lossless", true); };
    const auto as = [](heif_compression_format f) {
        return VImage::option()->set("compression", f == heif_compression_HEVC ? VIPS_FOREIGN_HEIF_COMPRESSION_HEVC
                                                                                  : VIPS_FOREIGN_HEIF_COMPRESSION_AV1);
    };
    const std::vector<double> holes{255, 0, 255, 128};
    const std::array<double, 4> shownHoles{255, 0, 255, 128};
    std::vector<FormatCase> cases = {
        {"png", "plain", [=] { return vipsWritten(q(), ".png"); }},
        {"png", "grey 16 bit", [] { return vipsWritten(grey16(plain()[1]), ".png"); }, 1,
         [](Color c) { return (c >> 8 & 0xFF) * 0x010101u; }},
        {"png", "palette", [] { return vipsWritten(plain(), ".png", VImage::option()->set("palette", true)); }},
        {"png", "transparent", [=] { return vipsWritten(quadrants(64, 32, holes), ".png"); }, 1, {}, shownHoles},
        {"png", "exif orientation 6", [] { return pngWithOrientation(plain(), 6); }, 6},
        {"png", "exif orientation 3", [] { return pngWithOrientation(plain(), 3); }, 3},
        {"png", "swapped primaries", [=] { return vipsWritten(profiled(swappedPrimariesProfile()), ".png"); }, 1, swapRedGreen,
         {255, 255, 255, 255}, 10},
        {"png", "broken profile", [=] { return vipsWritten(profiled(brokenProfile()), ".png"); }},
        {"gif", "plain", [=] { return vipsWritten(q(), ".gif"); }},
        {"gif", "first frame", [=] { return vipsWritten(paged(q(), 3), ".gif"); }},
        {"gif", "transparent", [=] { return vipsWritten(quadrants(64, 32, {255, 0, 255, 255}), ".gif"); }, 1, {},
         {255, 0, 255, 255}},
        {"tif", "plain", [=] { return vipsWritten(q(), ".tif"); }},
        {"tiff", "first page", [=] { return vipsWritten(paged(q(), 3), ".tif"); }},
        {"tif", "first of 3 pages in BigTIFF", [=] { return vipsWritten(paged(q(), 3), ".tif", VImage::option()->set("bigtiff", true)); }},
        {"tif", "first of 3000 pages", [=] {
             VImage pages = q().replicate(1, 3000).copy();
             pages.set("page-height", 32);
             return vipsWritten(pages, ".tif", VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE));
         }},
        {"tif", "transparent", [=] { return vipsWritten(quadrants(64, 32, holes), ".tif"); }, 1, {}, shownHoles},
        {"tif", "orientation 8", [=] { return vipsWritten(turned(8), ".tif"); }, 8},
        {"tif", "swapped primaries", [=] { return vipsWritten(profiled(swappedPrimariesProfile()), ".tif"); }, 1,
         swapRedGreen, {255, 255, 255, 255}, 10},
        {"webp", "lossy", [=] { return vipsWritten(q(), ".webp", VImage::option()->set("Q", 95)); }, 1, {}, {255, 255, 255, 255}, 20},
        {"webp", "lossless transparent", [=] { return vipsWritten(quadrants(64, 32, holes), ".webp", lossless()); }, 1, {},
         shownHoles},
        {"webp", "first frame", [=] { return vipsWritten(paged(q(), 3), ".webp", lossless()); }},
        {"webp", "exif orientation 6", [=] { return vipsWritten(turned(6), ".webp", lossless()); }, 6},
        {"webp", "swapped primaries", [=] { return vipsWritten(profiled(swappedPrimariesProfile()), ".webp", lossless()); },
         1, swapRedGreen, {255, 255, 255, 255}, 10},
        {"heic", "plain", [=] { return vipsWritten(q(), ".heif", as(heif_compression_HEVC)); }, 1, {}, {255, 255, 255, 255}, 20},
        {"heic", "turned 6", [] { return heifWithOrientation(heif_compression_HEVC, 6); }, 6, {}, {255, 255, 255, 255}, 20},
        {"avif", "plain", [=] { return vipsWritten(q(), ".heif", as(heif_compression_AV1)); }, 1, {}, {255, 255, 255, 255}, 20},
        {"avif", "mirrored 2", [] { return heifWithOrientation(heif_compression_AV1, 2); }, 2, {}, {255, 255, 255, 255}, 20},
        {"avif", "turned 8", [] { return heifWithOrientation(heif_compression_AV1, 8); }, 8, {}, {255, 255, 255, 255}, 20},
        {"heif", "transparent", [=] { return vipsWritten(quadrants(64, 32, holes), ".heif", as(heif_compression_AV1)); }, 1, {},
         shownHoles, 20},
        {"jxl", "lossless", [=] { return vipsWritten(q(), ".jxl", lossless()); }},
        {"jxl", "lossy", [=] { return vipsWritten(q(), ".jxl", VImage::option()->set("Q", 90)); }, 1, {}, {255, 255, 255, 255}, 20},
        {"jxl", "grey 16 bit", [=] { return vipsWritten(grey16(plain()[1]), ".jxl", lossless()); }, 1,
         [](Color c) { return (c >> 8 & 0xFF) * 0x010101u; }},
        {"jxl", "transparent", [=] { return vipsWritten(quadrants(64, 32, holes), ".jxl", lossless()); }, 1, {}, shownHoles},
        {"jxl", "turned 6", [] { return test::jxlWritten({plain()}, 6); }, 6},
        {"jxl", "mirrored 4", [] { return test::jxlWritten({plain()}, 4); }, 4},
        {"jxl", "first of 3 frames", [] { return test::jxlWritten({plain(), srgb(plain().invert()), srgb(plain().invert())}); }},
        {"jxl", "swapped primaries", [=] { return vipsWritten(profiled(swappedPrimariesProfile()), ".jxl", lossless()); }, 1,
         swapRedGreen, {255, 255, 255, 255}, 10},
        {"jxl", "swapped primaries lossy", [=] { return vipsWritten(profiled(swappedPrimariesProfile()), ".jxl"); }, 1,
         swapRedGreen, {255, 255, 255, 255}, 20},
    };
    for (FormatCase& c : std::vector<FormatCase>{
             {"jpg", "exif orientation 6", [=] { return vipsWritten(turned(6), ".jpg", VImage::option()->set("Q", 95)); }, 6},
             {"jpg", "swapped primaries", [=] { return vipsWritten(profiled(swappedPrimariesProfile()), ".jpg"); }, 1,
              swapRedGreen},
         }) {
        c.tolerance = 14;
        c.atFullSize = false;
        cases.push_back(std::move(c));
    }
    return cases;
}

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

// Checks the upright quadrants of a decoded picture against the stored ones.
void expectQuadrants(const Bitmap& b, const FormatCase& c)
{
    const std::array<Color, 4> got = quadrantCentres(b);
    const std::array<int, 4> shown = shownBy(c.orientation);
    for (int i = 0; i < 4; ++i) {
        const double a = c.alpha[shown[i]] / 255;
        const Color full = c.shows ? c.shows(kColours[shown[i]]) : kColours[shown[i]];
        const Color expected = Color(std::lround((full >> 16) * a)) << 16 | Color(std::lround((full >> 8 & 0xFF) * a)) << 8 |
                               Color(std::lround((full & 0xFF) * a));
        EXPECT_TRUE(near(got[i], expected, c.tolerance)) << "upright quadrant " << i;
    }
}

TEST_P(FormatTest, ShowsThePictureUprightInSrgbOverBlack)
{
    const FormatCase& c = GetParam();
    const std::string file = c.file();
    const std::string name = std::string("test.") + c.extension;
    const bool turned = c.orientation >= 5;
    if (c.atFullSize) {
        const Bitmap full = decodePicture(c.extension, file, name);
        ASSERT_EQ(full.width(), turned ? 32 : 64);
        ASSERT_EQ(full.height(), turned ? 64 : 32);
        expectQuadrants(full, c);
    }
    // Turned, the stored picture's own size is the upright one transposed: the target is met
    // either way.
    for (const DisplaySize size : {DisplaySize{40, 90}, DisplaySize{20, 10}}) {
        const Bitmap shown = decodePictureAt(c.extension, file, name, size);
        ASSERT_EQ(shown.width(), size.width);
        ASSERT_EQ(shown.height(), size.height);
        expectQuadrants(shown, c);
    }
}

INSTANTIATE_TEST_SUITE_P(Vips, FormatTest, ::testing::ValuesIn(formatCases()), test::PrintedName{});

// ---- resampling quality ----

double standardDeviation(const std::vector<double>& values)
{
    double sum = 0, squares = 0;
    for (double v : values)
        sum += v, squares += v * v;
    const double mean = sum / double(values.size());
    return std::sqrt(squares / double(values.size()) - mean * mean);
}

// The green level of the pixels at a distance from the centre between `inner` and `outer`.
std::vector<double> ring(const Bitmap& b, double inner, double outer)
{
    std::vector<double> values;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const double r = std::hypot(x + 0.5 - b.width() / 2.0, y + 0.5 - b.height() / 2.0);
            if (r >= inner && r < outer)
                values.push_back(double(b.pixel(x, y) >> 8 & 0xFF));
        }
    return values;
}

VImage grey8(const VImage& image)
{
    return image.cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
}

// Concentric rings whose frequency rises from nothing at the centre to half a cycle a pixel at
// the edges (r / 512 cycles a pixel at radius r). Shrunk 4 times, what lies beyond an eighth
// of a cycle a pixel cannot be shown and must average out to grey, not alias into new rings.
TEST(Resampling, ShrinkingAveragesWhatTheSmallerPictureCannotHold)
{
    (void)plain();
    const std::string file = vipsWritten(grey8(VImage::zone(512, 512) * 127 + 128), ".png");
    const Bitmap shrunk = decodePictureAt("png", file, "zone.png", {128, 128});
    // At radii 32 to 60 of the shrunk picture the rings are 2 to 4 times too fine for it.
    EXPECT_LT(standardDeviation(ring(shrunk, 32, 60)), 25.5);

    // The test itself: taking every fourth pixel fails it.
    const Bitmap full = decodePicture("png", file, "zone.png");
    Bitmap nearest(128, 128);
    nearest.stretchDraw(nearest.bounds(), full);
    EXPECT_GT(standardDeviation(ring(nearest, 32, 60)), 3 * 25.5);
}

TEST(Resampling, EnlargingInterpolates)
{
    (void)plain();
    const VImage ramp = VImage::xyz(32, 8)[0] * 8;
    const Bitmap shown = decodePictureAt("png", vipsWritten(srgb(ramp.bandjoin(ramp).bandjoin(ramp)), ".png"), "ramp.png",
                                         {96, 24});
    for (int y = 0; y < 24; ++y)
        for (int x = 8; x + 2 < 88; ++x)
            ASSERT_FALSE(shown.pixel(x, y) == shown.pixel(x + 1, y) && shown.pixel(x, y) == shown.pixel(x + 2, y))
                << "three equal pixels from (" << x << ", " << y << ")";
}

// ---- sizes ----

struct SizeCase {
    const char* name;
    int width, height;
    DisplaySize target;
    Rect coloured; // the rest is black
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class ExtremeSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ExtremeSizeTest, FillsExactlyTheTargetWithoutDividingByZero)
{
    const SizeCase& c = GetParam();
    (void)plain();
    const std::vector<double> teal{20, 160, 150};
    const std::string file = vipsWritten(srgb(VImage::black(c.width, c.height) + teal), ".png");
    QImage image(c.width, c.height, QImage::Format_RGB32);
    image.fill(QColor(20, 160, 150));
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    // BMP is decoded by Qt and resampled afterwards.
    for (const char* extension : {"png", "bmp"}) {
        const std::string bytes = std::string(extension) == "png" ? file : bmp.toStdString();
        const Bitmap shown = decodePictureAt(extension, bytes, "extreme", c.target);
        ASSERT_EQ(shown.width(), c.target.width);
        ASSERT_EQ(shown.height(), c.target.height);
        for (int y = 0; y < shown.height(); y += 7)
            for (int x = 0; x < shown.width(); x += 7) {
                const bool inside = x >= c.coloured.left && x < c.coloured.right && y >= c.coloured.top && y < c.coloured.bottom;
                ASSERT_TRUE(near(shown.pixel(x, y), inside ? 0x14A096 : 0, 4)) << extension << " at " << x << ", " << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Vips, ExtremeSizeTest,
                         ::testing::Values(SizeCase{"1x1 stretched", 1, 1, {1920, 1080}, {0, 0, 1920, 1080}},
                                           SizeCase{"1x1 fitted", 1, 1, {1920, 1080, FitMode::FitInside}, {420, 0, 1500, 1080}},
                                           SizeCase{"8000x3 stretched", 8000, 3, {1920, 1080}, {0, 0, 1920, 1080}},
                                           SizeCase{"8000x3 fitted", 8000, 3, {1920, 1080, FitMode::FitInside}, {0, 539, 1920, 540}}),
                         test::PrintedName{});

TEST(DisplaySize, ZeroTargetIsAClearError)
{
    const std::string file = vipsWritten(plain(), ".png");
    for (const DisplaySize size : {DisplaySize{0, 1080}, DisplaySize{1920, 0}, DisplaySize{-5, 10}})
        EXPECT_THAT(failureOf([&] { (void)decodePictureAt("png", file, "a.png", size); }), HasSubstr("no room"));
}

// A JPEG of a few hundred bytes whose header declares 16384 x 16384: at display size it is
// decoded an eighth of the way, so its buffers are what the check sees.
TEST(DisplaySize, HugeDeclaredJpegIsDecodedShrunk)
{
    std::string file = vipsWritten(plain(), ".jpg");
    const auto sof = file.find("\xFF\xC0");
    file.replace(sof + 5, 4, std::string{'\x40', '\x00', '\x40', '\x00'});
    ASSERT_LT(file.size(), 1000u);
    const Bitmap shown = decodePictureAt("jpg", file, "huge.jpg", {1920, 1080});
    EXPECT_EQ(shown.width(), 1920);
}

TEST(DisplaySize, StopRequestedCancelsWithoutAnError)
{
    std::stop_source stop;
    stop.request_stop();
    for (const char* extension : {"webp", "jxl"}) {
        const std::string file = vipsWritten(plain(), (std::string(".") + extension).c_str());
        EXPECT_THROW((void)decodePictureAt(extension, file, "a", {100, 100}, stop.get_token()), PictureCancelled);
    }
}

// ---- bad input ----

// A JPEG XL codestream whose header declares `side` x `side` pixels: the size field of a small
// picture (the bits after the two-byte signature, first bit lowest) written anew.
std::string jxlClaiming(std::uint32_t side)
{
    const std::string file = vipsWritten(plain(), ".jxl", VImage::option()->set("lossless", true));
    std::vector<bool> bits;
    for (std::size_t i = 2; i < file.size(); ++i)
        for (int b = 0; b < 8; ++b)
            bits.push_back(file[i] >> b & 1);
    // 64 x 32 takes the short form: a set flag, the height in eighths in 5 bits, a ratio in 3.
    EXPECT_TRUE(bits[0]);
    std::vector<bool> size{false, false, true}; // the long form, the height less one in 18 bits
    for (int b = 0; b < 18; ++b)
        size.push_back((side - 1) >> b & 1);
    size.insert(size.end(), {true, false, false}); // ratio 1: as wide as high
    bits.erase(bits.begin(), bits.begin() + 9);
    bits.insert(bits.begin(), size.begin(), size.end());
    std::string out = file.substr(0, 2);
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        char byte = 0;
        for (std::size_t b = 0; b < 8 && i + b < bits.size(); ++b)
            byte = char(byte | bits[i + b] << b);
        out += byte;
    }
    return out;
}

struct BadCase {
    const char* extension;
    const char* name;
    std::function<std::string()> file;
    const char* reason = "";
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.extension << " " << c.name; }

std::string truncated(const std::string& file)
{
    return file.substr(0, file.size() * 2 / 3);
}

// A PNG whose header declares `width` x `height`, with a valid checksum.
std::string pngClaiming(int width, int height)
{
    std::string png = vipsWritten(plain(), ".png");
    png.replace(16, 8, be32(std::uint32_t(width)) + be32(std::uint32_t(height)));
    png.replace(29, 4, be32(crc32(png.substr(12, 17))));
    return png;
}

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<BadCase> badCases()
{
    const auto noisy = [] {
        (void)plain();
        return srgb(VImage::gaussnoise(96, 64) * 2).bandjoin(srgb(VImage::gaussnoise(96, 64))).bandjoin(srgb(VImage::gaussnoise(96, 64)));
    };
    const auto heif = [](VipsForeignHeifCompression c) { return VImage::option()->set("compression", c); };
    return {
        {"png", "truncated", [=] { return truncated(vipsWritten(noisy(), ".png")); }},
        {"gif", "truncated", [=] { return truncated(vipsWritten(noisy(), ".gif")); }},
        {"tif", "truncated", [=] { return truncated(vipsWritten(noisy(), ".tif")); }},
        {"webp", "truncated", [=] { return truncated(vipsWritten(noisy(), ".webp")); }},
        {"heic", "truncated", [=] { return truncated(vipsWritten(noisy(), ".heif", heif(VIPS_FOREIGN_HEIF_COMPRESSION_HEVC))); }},
        {"avif", "truncated", [=] { return truncated(vipsWritten(noisy(), ".heif", heif(VIPS_FOREIGN_HEIF_COMPRESSION_AV1))); }},
        {"webp", "empty", [] { return std::string(); }},
        {"jpg", "a PNG by its name", [] { return vipsWritten(plain(), ".png"); }, "Not a JPEG file"},
        {"png", "a JPEG by its name", [] { return vipsWritten(plain(), ".jpg"); }},
        {"tiff", "a GIF by its name", [] { return vipsWritten(plain(), ".gif"); }},
        {"png", "declaring 65000x65000", [] { return pngClaiming(65000, 65000); }, "65000 x 65000"},
        {"jxl", "truncated", [=] { return truncated(vipsWritten(noisy(), ".jxl")); }, "JPEG XL"},
        {"jxl", "a PNG by its name", [] { return vipsWritten(plain(), ".png"); }, "JPEG XL"},
        {"jxl", "declaring 65000x65000", [] { return jxlClaiming(65000); }, "65000 x 65000"},
        {"tif", "1025 samples per pixel", [] { return fileBytes(LMVO_PICTURE_REGRESSIONS "/picture_tif/1025-samples-per-pixel-held-at-full-size.tif"); },
         "1025 samples of 32 bits"},
    };
}

class BadInputTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInputTest, FailsOnceNamingTheFile)
{
    const BadCase& c = GetParam();
    const std::string file = c.file(), name = std::string("bad.") + c.extension;
    for (const std::string& failure : {failureOf([&] { (void)decodePicture(c.extension, file, name); }),
                                       failureOf([&] { (void)decodePictureAt(c.extension, file, name, {64, 48}); })}) {
        EXPECT_THAT(failure, HasSubstr("\"" + name + "\""));
        EXPECT_THAT(failure, HasSubstr(c.reason));
    }
}

INSTANTIATE_TEST_SUITE_P(Vips, BadInputTest, ::testing::ValuesIn(badCases()), test::PrintedName{});

// Files the fuzzers found faults with, each named after its fault: they load or fail with an
// error, at both sizes, and nothing else happens.
TEST(FuzzRegression, EveryReproducerLoadsOrFailsCleanly)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(LMVO_PICTURE_REGRESSIONS)) {
        if (!entry.is_regular_file() || entry.path().parent_path().filename().string().rfind("picture_", 0) != 0)
            continue;
        const std::string file = fileBytes(entry.path());
        const std::string extension = entry.path().extension().string().substr(1);
        SCOPED_TRACE(entry.path().filename().string());
        (void)failureOf([&] { (void)decodePicture(extension, file, "input"); });
        for (const FitMode fit : {FitMode::Stretch, FitMode::FitInside})
            (void)failureOf([&] { (void)decodePictureAt(extension, file, "input", {37, 23, fit}); });
    }
}

} // namespace
} // namespace lmvo
