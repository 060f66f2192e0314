// Pictures carrying an ICC profile are shown in sRGB; without one, or with one that cannot be
// used, as stored. The files are written here by libvips, their profiles made with Little CMS
// or taken from libvips' own.
#include "picture/PictureLoad.h"
#include "tests/ParamName.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include <lcms2.h>
#include <vips/vips8>

namespace lmvo {
namespace {

using vips::VImage;

enum class Profile { None, Srgb, SwappedRedGreen, Cmyk, Damaged };
// What the decoded quadrants must show: the colours written; those of the same file decoded
// without its profile, as they are or with red and green swapped; or what libvips makes of the
// stored pixels, imported through their profile and turned into sRGB.
enum class Expect { Written, AsStored, Swapped, AsVipsConverts };

struct ProfileCase {
    const char* format;
    Profile profile;
    Expect expect;
    int tolerance;
    bool displaySize = false;
};

void PrintTo(const ProfileCase& c, std::ostream* os)
{
    static constexpr const char* kProfiles[] = {"no profile", "sRGB", "red and green swapped", "CMYK", "damaged"};
    *os << c.format << ' ' << kProfiles[int(c.profile)] << (c.displaySize ? " display size" : " full size");
}

const std::array<Color, 4> kWritten{0xAA5A50, 0x5A965A, 0x505AA0, 0xD2D2D2};

std::string iccOf(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string icc(size, '\0');
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    return icc;
}

// An RGB profile whose red and green primaries are sRGB's green and red: what is stored as red
// under it is sRGB's green, and the other way round.
std::string swappedProfile()
{
    const cmsCIExyY d65{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.30, 0.60, 1.0}, {0.64, 0.33, 1.0}, {0.15, 0.06, 1.0}};
    const double srgbCurve[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve* curves[] = {curve, curve, curve};
    std::string icc = iccOf(cmsCreateRGBProfile(&d65, &primaries, curves));
    cmsFreeToneCurve(curve);
    return icc;
}

// The same profile with the data of every tag damaged: its header and its list of tags are sound,
// so it opens (and libvips writes it into a file), but it cannot be used.
std::string damagedProfile()
{
    std::string icc = swappedProfile();
    const auto be32 = [&icc](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v = v << 8 | std::uint8_t(icc[at + i]);
        return v;
    };
    for (std::uint32_t i = 0, tags = be32(128); i < tags; ++i)
        icc.replace(be32(132 + 12 * i + 4), 4, "junk");
    return icc;
}

VImage withIcc(const VImage& image, const std::string& icc)
{
    VImage copy = image.copy();
    vips_image_set_blob_copy(copy.get_image(), VIPS_META_ICC_NAME, icc.data(), icc.size());
    return copy;
}

// 32 x 32 pixels in four flat quadrants of kWritten, in sRGB or converted to CMYK.
VImage picture(Profile profile)
{
    static const bool started = [] {
        const bool ok = VIPS_INIT("test_colour_profile") == 0;
        vips_cache_set_max(0); // a cached save would hand back a file made before a change
        return ok;
    }();
    EXPECT_TRUE(started);
    std::vector<unsigned char> rgb;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            for (int shift : {16, 8, 0})
                rgb.push_back(static_cast<unsigned char>(kWritten[(y >= 16) * 2 + (x >= 16)] >> shift));
    const VImage image = VImage::new_from_memory(rgb.data(), rgb.size(), 32, 32, 3, VIPS_FORMAT_UCHAR)
                             .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
                             .copy_memory();
    VipsBlob* blob = nullptr;
    switch (profile) {
    case Profile::Srgb:
        vips_profile_load("srgb", &blob, nullptr);
        return withIcc(image, std::string(static_cast<const char*>(VIPS_AREA(blob)->data), VIPS_AREA(blob)->length));
    case Profile::SwappedRedGreen: return withIcc(image, swappedProfile());
    case Profile::Damaged: return withIcc(image, damagedProfile());
    case Profile::Cmyk:
        return image.icc_export(VImage::option()->set("output_profile", "cmyk")->set("intent", VIPS_INTENT_PERCEPTUAL));
    default: return image;
    }
}

// Each format written losslessly where it can be, so that a picture with a profile and the
// same picture without differ only in the profile.
std::string fileOf(const VImage& image, const std::string& format)
{
    vips::VOption* options = VImage::option();
    if (format == "webp" || format == "jxl")
        options->set("lossless", true);
    if (format == "heic" || format == "avif")
        options->set("compression", format == "heic" ? VIPS_FOREIGN_HEIF_COMPRESSION_HEVC : VIPS_FOREIGN_HEIF_COMPRESSION_AV1);
    void* buffer = nullptr;
    std::size_t size = 0;
    image.write_to_buffer((format == "heic" || format == "avif" ? std::string(".heif") : "." + format).c_str(), &buffer,
                          &size, options);
    std::string bytes(static_cast<const char*>(buffer), size);
    g_free(buffer);
    return bytes;
}

std::array<Color, 4> quadrantsOf(const Bitmap& b)
{
    return {b.pixel(8, 8), b.pixel(24, 8), b.pixel(8, 24), b.pixel(24, 24)};
}

std::array<Color, 4> quadrantsOf(const VImage& rgb)
{
    std::array<Color, 4> colours{};
    for (int i = 0; i < 4; ++i) {
        const std::vector<double> p = rgb.getpoint(8 + 16 * (i % 2), 8 + 16 * (i / 2));
        colours[std::size_t(i)] = Color(p[0]) << 16 | Color(p[1]) << 8 | Color(p[2]);
    }
    return colours;
}

Color swappedRedGreen(Color c)
{
    return (c & 0xFF) | (c >> 8 & 0xFF00) | (c << 8 & 0xFF0000);
}

class ProfileTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileTest, ShowsTheColoursThePictureMeans)
{
    const ProfileCase& c = GetParam();
    VImage image = picture(c.profile);
    std::string file = fileOf(image, c.format);
    image.remove(VIPS_META_ICC_NAME);
    const std::string bare = fileOf(image, c.format);
    if (c.profile != Profile::None) {
        ASSERT_NE(file, bare) << "the file carries the profile";
    }
    const auto decode = [&c](const std::string& bytes) {
        return quadrantsOf(c.displaySize ? decodePictureAt(c.format, bytes, "test", {32, 32})
                                         : decodePicture(c.format, bytes, "test"));
    };
    const std::array<Color, 4> got = decode(file), stored = decode(bare);
    std::array<Color, 4> converted{};
    if (c.expect == Expect::AsVipsConverts)
        converted = quadrantsOf(picture(c.profile)
                                    .icc_import(VImage::option()->set("intent", VIPS_INTENT_PERCEPTUAL))
                                    .colourspace(VIPS_INTERPRETATION_sRGB));
    for (int i = 0; i < 4; ++i) {
        const Color expected = c.expect == Expect::Written   ? kWritten[i]
                               : c.expect == Expect::Swapped ? swappedRedGreen(stored[i])
                               : c.expect == Expect::AsStored ? stored[i]
                                                              : converted[i];
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int(got[i] >> shift & 0xFF), int(expected >> shift & 0xFF), c.tolerance)
                << "quadrant " << i << std::hex << ": 0x" << got[i] << " for 0x" << expected;
    }
}

std::vector<ProfileCase> profileCases()
{
    // Little CMS takes CMYK to sRGB in one step, libvips by way of Lab: a few levels apart.
    std::vector<ProfileCase> cases{
        {"jpg", Profile::None, Expect::Written, 4},
        {"jpg", Profile::Srgb, Expect::AsStored, 1},
        {"jpg", Profile::SwappedRedGreen, Expect::Swapped, 3},
        {"jpg", Profile::Cmyk, Expect::AsVipsConverts, 8},
        {"jpg", Profile::Damaged, Expect::AsStored, 0},
    };
    for (const char* format : {"png", "tif", "webp", "heic", "avif", "jxl"}) {
        cases.push_back({format, Profile::Srgb, Expect::AsStored, 1});
        cases.push_back({format, Profile::SwappedRedGreen, Expect::Swapped, 3});
        // libjxl's writer refuses a profile it cannot use: a JPEG XL file never carries one.
        if (std::string(format) != "jxl")
            cases.push_back({format, Profile::Damaged, Expect::AsStored, 0});
    }
    cases.push_back({"tif", Profile::Cmyk, Expect::AsVipsConverts, 8});
    const std::size_t fullSize = cases.size();
    for (std::size_t i = 0; i < fullSize; ++i) {
        cases.push_back(cases[i]);
        cases.back().displaySize = true;
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, ProfileTest, ::testing::ValuesIn(profileCases()), test::PrintedName{});

} // namespace
} // namespace lmvo
