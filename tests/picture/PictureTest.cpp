// Picture loading. Every JPEG here is written by the test itself with libjpeg's compressor.
#include "picture/PictureLoad.h"
#include "picture/PictureSize.h"
#include "tests/ParamName.h"
#include "tests/picture/TestExif.h"
#include "transition/PictureGraphic.h"

#include <QBuffer>
#include <QImage>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

// ---- writing test files ----

struct Samples {
    int width, height, components;
    J_COLOR_SPACE space;
    std::vector<JSAMPLE> data; // interleaved rows
};

struct JpegOptions {
    bool progressive = false;
    bool arithmetic = false;
    J_COLOR_SPACE stored = JCS_UNKNOWN; // the file's colour space; JCS_UNKNOWN: libjpeg's default
    bool adobeMarker = true; // libjpeg writes it for CMYK and YCCK unless told not to
    std::string app1 = {};   // an EXIF segment, "Exif\0\0" included
    int scans = 0;           // progressive in this many scans (at most 694 for grey)
};

// A progressive script of `count` scans: the DC scan, then one scan per AC coefficient and
// component, first at the coarsest bit, then refined bit by bit.
std::vector<jpeg_scan_info> manyScans(int components, int count)
{
    std::vector<jpeg_scan_info> script(1);
    script[0].comps_in_scan = components;
    for (int c = 0; c < components; ++c)
        script[0].component_index[c] = c;
    for (int bit = 10; bit >= 0; --bit)
        for (int k = 1; k < 64; ++k)
            for (int c = 0; c < components && int(script.size()) < count; ++c)
                script.push_back({1, {c}, k, k, bit == 10 ? 0 : bit + 1, bit});
    return script;
}

std::string encodeJpeg(const Samples& s, const JpegOptions& o = {})
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(s.width), c.image_height = JDIMENSION(s.height);
    c.input_components = s.components, c.in_color_space = s.space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (o.stored != JCS_UNKNOWN)
        jpeg_set_colorspace(&c, o.stored);
    c.write_Adobe_marker = c.write_Adobe_marker && o.adobeMarker;
    c.arith_code = o.arithmetic;
    if (o.progressive)
        jpeg_simple_progression(&c);
    const std::vector<jpeg_scan_info> script = manyScans(s.components, o.scans);
    if (o.scans) {
        c.scan_info = script.data();
        c.num_scans = int(script.size());
    }
    jpeg_start_compress(&c, TRUE);
    if (!o.app1.empty())
        jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(o.app1.data()), unsigned(o.app1.size()));
    for (int y = 0; y < s.height; ++y) {
        auto row = const_cast<JSAMPROW>(s.data.data() + std::size_t(y) * s.width * s.components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string file(reinterpret_cast<char*>(out), size);
    std::free(out);
    return file;
}

// A picture of four flat quadrants (top left, top right, bottom left, bottom right), each
// given as the samples of one pixel.
Samples quadrants(int w, int h, J_COLOR_SPACE space, const std::vector<std::vector<int>>& q)
{
    const int n = int(q[0].size());
    Samples s{w, h, n, space, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int v : q[(y >= h / 2) * 2 + (x >= w / 2)])
                s.data.push_back(JSAMPLE(v));
    return s;
}

using test::exifOrientation;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "picture-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    [[nodiscard]] std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(file(name), std::ios::binary) << bytes;
        return file(name);
    }

private:
    std::string path_;
};

::testing::AssertionResult near(Color actual, Color expected, int tolerance = 12)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int(actual >> shift & 0xFF) - int(expected >> shift & 0xFF)) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
    return ::testing::AssertionSuccess();
}

std::vector<Color> quadrantCentres(const Bitmap& b)
{
    const int w = b.width(), h = b.height();
    return {b.pixel(w / 4, h / 4), b.pixel(3 * w / 4, h / 4), b.pixel(w / 4, 3 * h / 4), b.pixel(3 * w / 4, 3 * h / 4)};
}

// Loads and reports the failure text ("" on success).
std::string loadError(TPicture& picture, const std::string& path)
{
    try {
        picture.LoadFromFile(path);
    } catch (const PictureError& e) {
        return e.what();
    }
    return {};
}

const std::vector<std::vector<int>> kRgb{{220, 30, 30}, {30, 200, 40}, {40, 50, 210}, {230, 230, 230}};
const std::vector<Color> kRgbColours{0xDC1E1E, 0x1EC828, 0x2832D2, 0xE6E6E6};

// ---- colour spaces and codings ----

struct ColourCase {
    const char* name;
    Samples samples;
    JpegOptions options;
    std::vector<Color> expected;
};

// Ink amounts that print the colours of kRgb, plain and as Adobe stores them (inverted).
const std::vector<std::vector<int>> kCmyk{{35, 225, 225, 0}, {225, 55, 215, 0}, {215, 205, 45, 0}, {0, 0, 0, 155}};
std::vector<std::vector<int>> inverted(std::vector<std::vector<int>> q)
{
    for (auto& px : q)
        for (int& v : px)
            v = 255 - v;
    return q;
}
const std::vector<Color> kCmykColours{0xDC1E1E, 0x1EC828, 0x2832D2, 0x646464};

std::vector<ColourCase> colourCases()
{
    const Samples rgb = quadrants(32, 32, JCS_RGB, kRgb);
    const Samples grey = quadrants(32, 32, JCS_GRAYSCALE, {{30}, {90}, {160}, {230}});
    const Samples cmyk = quadrants(32, 32, JCS_CMYK, kCmyk);
    const Samples adobe = quadrants(32, 32, JCS_CMYK, inverted(kCmyk));
    const std::vector<Color> greys{0x1E1E1E, 0x5A5A5A, 0xA0A0A0, 0xE6E6E6};
    return {
        {"baseline", rgb, {}, kRgbColours},
        {"progressive", rgb, {true}, kRgbColours},
        {"arithmetic", rgb, {false, true}, kRgbColours},
        {"progressive_arithmetic", rgb, {true, true}, kRgbColours},
        {"stored_as_rgb", rgb, {false, false, JCS_RGB}, kRgbColours},
        {"greyscale", grey, {}, greys},
        {"greyscale_progressive", grey, {true}, greys},
        {"cmyk_plain", cmyk, {false, false, JCS_UNKNOWN, false}, kCmykColours},
        {"cmyk_inverted_adobe", adobe, {}, kCmykColours},
        {"ycck_adobe", adobe, {false, false, JCS_YCCK}, kCmykColours},
        {"cmyk_progressive_arithmetic", adobe, {true, true}, kCmykColours},
    };
}

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }

class ColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourTest, DecodesToRgb)
{
    const ColourCase& c = GetParam();
    const Bitmap b = decodePicture("jpg", encodeJpeg(c.samples, c.options), "test.jpg");
    ASSERT_EQ(b.width(), 32);
    ASSERT_EQ(b.height(), 32);
    const std::vector<Color> got = quadrantCentres(b);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(near(got[i], c.expected[i])) << "quadrant " << i;
    EXPECT_EQ(b.scanLine(31)[31] >> 24, 0xFFu) << "the unused byte is set";
}

INSTANTIATE_TEST_SUITE_P(Jpeg, ColourTest, ::testing::ValuesIn(colourCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- EXIF orientation ----

// Which stored quadrant (0 top left, 1 top right, 2 bottom left, 3 bottom right) each upright
// quadrant shows.
struct OrientationCase {
    int orientation;
    ExifByteOrder order;
    std::array<int, 4> shows;
};

void PrintTo(const OrientationCase& c, std::ostream* os)
{
    *os << "orientation " << c.orientation << (c.order == EXIF_BYTE_ORDER_MOTOROLA ? " big-endian" : "");
}

class OrientationTest : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(OrientationTest, ShowsThePictureUpright)
{
    // Tall enough for several bands of rows, the last one short, and every corner pixel must
    // be placed.
    const OrientationCase& c = GetParam();
    const std::string file = encodeJpeg(quadrants(70, 150, JCS_RGB, kRgb),
                                        {false, false, JCS_UNKNOWN, true, exifOrientation(c.orientation, c.order)});
    const Bitmap b = decodePicture("jpg", file, "photo.jpg");
    const bool turned = c.orientation >= 5 && c.orientation <= 8;
    ASSERT_EQ(b.width(), turned ? 150 : 70);
    ASSERT_EQ(b.height(), turned ? 70 : 150);
    const int r = b.width() - 1, d = b.height() - 1;
    const std::vector<Color> corners{b.pixel(0, 0), b.pixel(r, 0), b.pixel(0, d), b.pixel(r, d)};
    const std::vector<Color> centres = quadrantCentres(b);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(near(centres[i], kRgbColours[c.shows[i]])) << "upright quadrant " << i;
        EXPECT_TRUE(near(corners[i], kRgbColours[c.shows[i]], 24)) << "upright corner " << i;
    }
}

constexpr ExifByteOrder kIntel = EXIF_BYTE_ORDER_INTEL, kMotorola = EXIF_BYTE_ORDER_MOTOROLA;
INSTANTIATE_TEST_SUITE_P(Exif, OrientationTest,
                         ::testing::Values(OrientationCase{1, kIntel, {0, 1, 2, 3}},
                                           OrientationCase{2, kIntel, {1, 0, 3, 2}},
                                           OrientationCase{3, kIntel, {3, 2, 1, 0}},
                                           OrientationCase{4, kIntel, {2, 3, 0, 1}},
                                           OrientationCase{5, kIntel, {0, 2, 1, 3}},
                                           OrientationCase{6, kIntel, {2, 0, 3, 1}},
                                           OrientationCase{7, kIntel, {3, 1, 2, 0}},
                                           OrientationCase{8, kIntel, {1, 3, 0, 2}},
                                           OrientationCase{6, kMotorola, {2, 0, 3, 1}},
                                           OrientationCase{8, kMotorola, {1, 3, 0, 2}},
                                           OrientationCase{9, kIntel, {0, 1, 2, 3}}),
                         test::PrintedName{});

// ---- damaged and oversized files ----

TEST(JpegDamage, TruncatedFileShowsWhatWasDecoded)
{
    Samples s = quadrants(64, 64, JCS_RGB, kRgb);
    for (std::size_t i = 32 * 64 * 3; i < s.data.size(); ++i) // busy lower half: most of the data
        s.data[i] = JSAMPLE(i * 2654435761u >> 13);
    const std::string whole = encodeJpeg(s);
    const Bitmap b = decodePicture("jpg", whole.substr(0, whole.size() * 2 / 3), "cut.jpg");
    ASSERT_EQ(b.width(), 64);
    EXPECT_TRUE(near(b.pixel(8, 8), kRgbColours[0]));
    EXPECT_TRUE(near(b.pixel(56, 8), kRgbColours[1]));
}

TEST(JpegDamage, GarbageEmptyAndHeaderOnlyFilesFailWithLibjpegsMessage)
{
    const std::string good = encodeJpeg(quadrants(16, 16, JCS_RGB, kRgb));
    const auto failure = [](const std::string& data) {
        try {
            (void)decodePicture("jpeg", data, "bad.jpeg");
        } catch (const PictureError& e) {
            return std::string(e.what());
        }
        return std::string("no failure");
    };
    EXPECT_THAT(failure(std::string(300, 'x')), HasSubstr("Not a JPEG file"));
    EXPECT_THAT(failure(std::string(300, 'x')), HasSubstr("bad.jpeg"));
    EXPECT_THAT(failure(""), HasSubstr("Empty input file"));
    EXPECT_THAT(failure(good.substr(0, 40)), HasSubstr("bad.jpeg"));
}

// Each scan is a pass over the whole picture: a crafted file of thousands would take minutes.
TEST(JpegDamage, MoreThan500ScansAreRefusedAtBothSizes)
{
    const Samples grey = quadrants(16, 16, JCS_GRAYSCALE, {{30}, {90}, {160}, {230}});
    const std::string most = encodeJpeg(grey, {.scans = 500}), tooMany = encodeJpeg(grey, {.scans = 501});
    EXPECT_EQ(decodePicture("jpg", most, "most.jpg").width(), 16);
    EXPECT_EQ(decodePictureAt("jpg", most, "most.jpg", {8, 8}).width(), 8);
    const auto failure = [](const auto& decode) {
        try {
            (void)decode();
        } catch (const PictureError& e) {
            return std::string(e.what());
        }
        return std::string("no failure");
    };
    for (const std::string& text : {failure([&] { return decodePicture("jpg", tooMany, "scans.jpg"); }),
                                    failure([&] { return decodePictureAt("jpg", tooMany, "scans.jpg", {8, 8}); })}) {
        EXPECT_THAT(text, HasSubstr("scans.jpg"));
        EXPECT_THAT(text, HasSubstr("more than 500 scans"));
    }
}

// Patches the frame header's height and width.
std::string withClaimedSize(std::string file, int width, int height)
{
    const auto sof = file.find("\xFF\xC0");
    file[sof + 5] = char(height >> 8), file[sof + 6] = char(height & 0xFF);
    file[sof + 7] = char(width >> 8), file[sof + 8] = char(width & 0xFF);
    return file;
}

TEST(PictureSize, HugeJpegHeaderIsRefusedBeforeDecoding)
{
    const std::string file = withClaimedSize(encodeJpeg(quadrants(8, 8, JCS_RGB, kRgb)), 65000, 65000);
    EXPECT_THROW(
        try { (void)decodePicture("jpg", file, "huge.jpg"); } catch (const PictureError& e) {
            EXPECT_THAT(e.what(), HasSubstr("too large"));
            EXPECT_THAT(e.what(), HasSubstr("65000 x 65000"));
            throw;
        },
        PictureError);
}

TEST(PictureSize, HugeBmpHeaderIsRefusedBeforeDecoding)
{
    std::string bmp = "BM";
    const auto le32 = [&bmp](std::uint32_t v) { for (int i = 0; i < 4; ++i) bmp += char(v >> (8 * i)); };
    le32(54), le32(0), le32(54);                  // file size (unchecked), reserved, pixel offset
    le32(40), le32(65000), le32(65000), le32(0x180001); // header size, width, height, 1 plane, 24 bits
    for (int i = 0; i < 6; ++i)
        le32(0);
    EXPECT_THROW((void)decodePicture("bmp", bmp, "huge.bmp"), PictureError);
}

struct SizeCase {
    std::int64_t width, height;
    std::optional<std::uint64_t> available;
    bool accepted;
};
void PrintTo(const SizeCase& c, std::ostream* os)
{
    *os << c.width << " x " << c.height << " in " << (c.available ? std::to_string(*c.available) : "unknown") << " bytes";
}

class SizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeTest, RefusesWhatTheTransitionBuffersCouldNotHold)
{
    const SizeCase& c = GetParam();
    if (c.accepted)
        EXPECT_NO_THROW(checkPictureSize(c.width, c.height, c.available));
    else
        EXPECT_THROW(checkPictureSize(c.width, c.height, c.available), PictureError);
}

constexpr std::uint64_t kPlenty = std::uint64_t(1) << 44;
INSTANTIATE_TEST_SUITE_P(Limits, SizeTest,
                         ::testing::Values(SizeCase{16384, 16384, kPlenty, true},  // exactly 2^28 pixels
                                           SizeCase{16385, 16384, kPlenty, false},
                                           SizeCase{1, 268435457, kPlenty, false},
                                           SizeCase{std::int64_t(1) << 40, std::int64_t(1) << 40, kPlenty, false},
                                           SizeCase{1000, 1000, 32'000'000, true}, // 16 MB is exactly half
                                           SizeCase{1000, 1000, 31'999'999, false},
                                           SizeCase{1000, 1000, std::nullopt, true},
                                           SizeCase{0, 10, kPlenty, false},
                                           SizeCase{10, -1, kPlenty, false}),
                         test::PrintedName{});

// ---- loading files ----

class LoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        picture.setOnChange([this] { ++changes; });
    }
    TempDir dir;
    TPicture picture;
    int changes = 0;
    const std::string jpeg = encodeJpeg(quadrants(32, 16, JCS_RGB, kRgb));
};

TEST_F(LoadTest, ExtensionsIgnoreAsciiCaseAndNonUtf8NamesLoad)
{
    for (const char* name : {"a.jpg", "b.JPG", "c.JpEg", "\xFF\xFE\x80.jpg", "dots.in.name.jpeg"}) {
        EXPECT_EQ(loadError(picture, dir.write(name, jpeg)), "") << name;
        EXPECT_EQ(picture.width(), 32);
    }
    EXPECT_EQ(changes, 5);
}

TEST_F(LoadTest, UnknownExtensionIsNamedAsWrittenBeforeTheFileIsOpened)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/no/such/folder/a.xcf", "Unknown picture file extension (.xcf)"},
        {"/no/such/folder/a.XcF", "Unknown picture file extension (.XcF)"},
        {"/no/such/folder/a.jpg.txt", "Unknown picture file extension (.txt)"},
        {"/no/such/folder.jpg/name", "Unknown picture file extension (.)"},
        {"/no/such/folder/noext", "Unknown picture file extension (.)"},
    };
    for (const auto& [path, message] : cases)
        EXPECT_THAT(loadError(picture, path), ::testing::AllOf(HasSubstr(message), HasSubstr(path)));
    EXPECT_THROW((void)decodePicture("gif", jpeg, "x.gif"), PictureError);
}

TEST_F(LoadTest, MetafilesFailNamingTheFormat)
{
    EXPECT_THAT(loadError(picture, "/no/such/folder/a.emf"), HasSubstr("EMF"));
    EXPECT_THAT(loadError(picture, "/no/such/folder/B.WMF"), HasSubstr("WMF"));
    EXPECT_THAT(loadError(picture, "/no/such/folder/B.WMF"), HasSubstr("B.WMF"));
}

TEST_F(LoadTest, OnlyRegularFilesAreReadAndNothingBlocks)
{
    ASSERT_EQ(::mkfifo(dir.file("fifo.jpg").c_str(), 0600), 0);
    ASSERT_TRUE(fs::create_directory(dir.file("folder.jpg")));
    fs::create_symlink("/dev/zero", dir.file("zero.jpg"));
    EXPECT_THAT(loadError(picture, dir.file("fifo.jpg")), HasSubstr("not a regular file"));
    EXPECT_THAT(loadError(picture, dir.file("zero.jpg")), HasSubstr("not a regular file"));
    EXPECT_THAT(loadError(picture, dir.file("folder.jpg")), HasSubstr("folder"));
    EXPECT_THAT(loadError(picture, dir.file("missing.jpg")), HasSubstr("missing.jpg"));
    EXPECT_THAT(loadError(picture, dir.file("missing.jpg")), HasSubstr("No such file"));
    EXPECT_FALSE(picture.hasGraphic());
    EXPECT_EQ(changes, 0);
}

TEST_F(LoadTest, FailedLoadKeepsThePreviousGraphicAndNotifiesNothing)
{
    picture.LoadFromFile(dir.write("good.jpg", jpeg));
    const auto previous = graphicOf(picture);
    for (const std::string& bad : {dir.write("bad.jpg", "garbage"), dir.write("bad.bmp", jpeg), dir.file("gone.ico"),
                                   std::string("x.png"), std::string("x.emf")})
        EXPECT_NE(loadError(picture, bad), "") << bad;
    EXPECT_EQ(graphicOf(picture), previous);
    EXPECT_EQ(changes, 1);
}

TEST_F(LoadTest, BitmapsAndIconsLoadThroughQt)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    const QRgb pixels[] = {0xFF102030, 0xFFFFFFFF, 0xFF000000, 0xFFA0B0C0, 0x00FF0000, 0x80FF0000};
    for (int i = 0; i < 6; ++i)
        image.setPixel(i % 3, i / 3, pixels[i]);
    const auto save = [&image](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes.toStdString();
    };
    ASSERT_EQ(loadError(picture, dir.write("p.BMP", save("BMP"))), "");
    EXPECT_EQ(graphicOf(picture)->pixel(0, 0), 0x102030u);
    EXPECT_EQ(graphicOf(picture)->pixel(2, 1), 0xFF0000u) << "bitmaps are opaque";
    ASSERT_EQ(loadError(picture, dir.write("i.ico", save("ICO"))), "");
    EXPECT_EQ(graphicOf(picture)->pixel(0, 1), 0xA0B0C0u);
    EXPECT_EQ(graphicOf(picture)->pixel(1, 1), 0x000000u) << "transparency shows black";
    EXPECT_TRUE(near(graphicOf(picture)->pixel(2, 1), 0x800000, 2)) << "half transparency is blended with black";
    EXPECT_EQ(graphicOf(picture)->scanLine(0)[0] >> 24, 0xFFu);
    EXPECT_EQ(changes, 2);
}

TEST_F(LoadTest, AssignSharesAndNoneClears)
{
    TPicture other;
    other.LoadFromFile(dir.write("a.jpg", jpeg));
    picture.Assign(&other);
    EXPECT_EQ(graphicOf(picture), graphicOf(other));
    picture.Assign(nullptr);
    EXPECT_FALSE(picture.hasGraphic());
    EXPECT_EQ(picture.width(), 0);
    setGraphic(picture, Bitmap(5, 7));
    EXPECT_EQ(picture.height(), 7);
    picture.clear();
    EXPECT_EQ(changes, 4);
    EXPECT_TRUE(other.hasGraphic());
}

} // namespace
} // namespace lmvo
