// Writes the picture fuzzers' seeds: small pictures of every format in the variants its
// decoders branch on (colour models, alpha, bit depths, compressions, orientation, profiles,
// several frames or pages), made here rather than taken from anywhere.
//
//   lmvo_picture_seeds DIR picture_EXT...   writes DIR/picture_EXT/NN-variant.EXT
#include "tests/support/JxlWritten.h"
#include "tests/support/VipsWritten.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <vips/vips8>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vips::VImage;

struct Variant {
    const char* name;
    std::string bytes;
};

// A w x h picture whose red and green run along x and y, so that any misplaced row or column
// changes it; `bands` 1 is grey, 2 grey and alpha, 3 RGB, 4 RGB and alpha.
VImage gradient(int w, int h, int bands = 3)
{
    const VImage xy = VImage::xyz(w, h);
    const VImage r = xy[0] * (255.0 / w), g = xy[1] * (255.0 / h);
    const VImage alpha = (xy[0] + xy[1]) * (255.0 / (w + h));
    VImage img = bands <= 2 ? r : r.bandjoin(g).bandjoin(r * 0 + 96);
    if (bands % 2 == 0)
        img = img.bandjoin(alpha);
    return img.cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", bands <= 2 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
}

// `pages` copies of a picture stacked into one, as libvips keeps frames and pages.
VImage paged(const VImage& page, int pages)
{
    VImage all = page;
    for (int i = 1; i < pages; ++i)
        all = all.join(page.invert(), VIPS_DIRECTION_VERTICAL);
    VImage out = all.copy();
    out.set("page-height", page.height());
    return out;
}

// CMYK samples without the megabyte of the profile that made them.
VImage cmyk(const VImage& rgb)
{
    VImage out = rgb.icc_transform("cmyk").copy();
    out.remove("icc-profile-data");
    return out;
}

VImage oriented(const VImage& img, int orientation)
{
    VImage out = img.copy();
    out.set("orientation", orientation);
    return out;
}

using lmvo::test::vipsWritten;

vips::VOption* with()
{
    return VImage::option();
}

std::string qtSeed(const QImage& img, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, format).write(img))
        throw std::runtime_error(std::string("Qt cannot write ") + format);
    return bytes.toStdString();
}

QImage qtGradient(int w, int h, QImage::Format format)
{
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgba(255 * x / w, 255 * y / h, 96, 255 * (x + y) / (w + h)));
    return img.convertToFormat(format);
}

std::vector<Variant> jpegSeeds()
{
    const VImage rgb = gradient(24, 16);
    return {
        {"baseline", vipsWritten(rgb, ".jpg", with()->set("Q", 90))},
        {"progressive", vipsWritten(rgb, ".jpg", with()->set("interlace", true))},
        {"grey", vipsWritten(gradient(17, 11, 1), ".jpg")},
        {"cmyk", vipsWritten(cmyk(gradient(16, 16)), ".jpg")},
        {"turned-with-profile", vipsWritten(oriented(gradient(20, 12), 6), ".jpg", with()->set("profile", "srgb"))},
        {"wide-gamut-profile", vipsWritten(gradient(20, 12), ".jpg", with()->set("profile", "p3"))},
        {"restarts-no-subsampling", vipsWritten(gradient(33, 9), ".jpg",
                                            with()->set("restart_interval", 1)->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_OFF))},
        {"one-pixel", vipsWritten(gradient(1, 1), ".jpg")},
    };
}

std::vector<Variant> pngSeeds()
{
    return {
        {"rgb", vipsWritten(gradient(24, 16), ".png")},
        {"rgba", vipsWritten(gradient(17, 11, 4), ".png")},
        {"grey-16bit", vipsWritten(gradient(16, 9, 1).cast(VIPS_FORMAT_USHORT) * 256, ".png", with()->set("bitdepth", 16))},
        {"palette", vipsWritten(gradient(24, 16, 4), ".png", with()->set("palette", true))},
        {"interlaced", vipsWritten(gradient(19, 13), ".png", with()->set("interlace", true))},
        {"turned-with-profile", vipsWritten(oriented(gradient(20, 12), 6), ".png", with()->set("profile", "srgb"))},
        {"one-pixel", vipsWritten(gradient(1, 1, 2), ".png")},
    };
}

std::vector<Variant> gifSeeds()
{
    return {
        {"still", vipsWritten(gradient(24, 16), ".gif")},
        {"transparent", vipsWritten(gradient(17, 11, 4), ".gif")},
        {"animated", vipsWritten(paged(gradient(16, 12), 3), ".gif")},
        {"interlaced", vipsWritten(gradient(19, 13), ".gif", with()->set("interlace", true))},
    };
}

std::vector<Variant> tiffSeeds()
{
    return {
        {"deflate", vipsWritten(gradient(24, 16), ".tif", with()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE))},
        {"lzw-rgba", vipsWritten(gradient(17, 11, 4), ".tif", with()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW))},
        {"jpeg", vipsWritten(gradient(24, 16), ".tif", with()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_JPEG))},
        {"grey-16bit", vipsWritten(gradient(16, 9, 1).cast(VIPS_FORMAT_USHORT) * 256, ".tif",
                                with()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE))},
        {"tiled", vipsWritten(gradient(40, 24), ".tif",
                           with()->set("tile", true)->set("tile_width", 16)->set("tile_height", 16)
                               ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE))},
        {"pages", vipsWritten(paged(gradient(16, 12), 3), ".tif", with()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW))},
        {"turned", vipsWritten(oriented(gradient(20, 12), 6), ".tif",
                            with()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE))},
        {"one-bit", vipsWritten(gradient(16, 8, 1) > 128, ".tif", with()->set("bitdepth", 1))},
    };
}

std::vector<Variant> webpSeeds()
{
    return {
        {"lossy", vipsWritten(gradient(24, 16), ".webp")},
        {"lossless-alpha", vipsWritten(gradient(17, 11, 4), ".webp", with()->set("lossless", true))},
        {"animated", vipsWritten(paged(gradient(16, 12), 3), ".webp")},
        {"turned-with-profile", vipsWritten(oriented(gradient(20, 12), 6), ".webp", with()->set("profile", "srgb"))},
    };
}

std::vector<Variant> heifSeeds(VipsForeignHeifCompression compression)
{
    const auto as = [compression] { return with()->set("compression", int(compression)); };
    return {
        {"rgb", vipsWritten(gradient(32, 24), ".heif", as())},
        {"alpha", vipsWritten(gradient(24, 16, 4), ".heif", as())},
        {"turned", vipsWritten(oriented(gradient(32, 16), 6), ".heif", as())},
    };
}

std::vector<Variant> jxlSeeds()
{
    return {
        {"lossy", vipsWritten(gradient(24, 16), ".jxl", with()->set("Q", 80))},
        {"lossless-alpha", vipsWritten(gradient(17, 11, 4), ".jxl", with()->set("lossless", true))},
        {"grey", vipsWritten(gradient(16, 9, 1), ".jxl")},
        {"wide-gamut-profile", vipsWritten(gradient(20, 12), ".jxl", with()->set("lossless", true)->set("profile", "p3"))},
        {"turned", lmvo::test::jxlWritten({gradient(20, 12)}, 6)},
        {"animated", lmvo::test::jxlWritten({gradient(16, 12, 4), gradient(16, 12, 4).invert(), gradient(16, 12, 4)})},
        {"one-pixel", vipsWritten(gradient(1, 1), ".jxl")},
    };
}

std::vector<Variant> bmpSeeds()
{
    return {
        {"rgb", qtSeed(qtGradient(24, 16, QImage::Format_RGB32), "bmp")},
        {"alpha", qtSeed(qtGradient(17, 11, QImage::Format_ARGB32), "bmp")},
        {"indexed", qtSeed(qtGradient(16, 16, QImage::Format_Indexed8), "bmp")},
        {"one-bit", qtSeed(qtGradient(13, 7, QImage::Format_Mono), "bmp")},
    };
}

std::vector<Variant> icoSeeds()
{
    return {
        {"alpha", qtSeed(qtGradient(16, 16, QImage::Format_ARGB32), "ico")},
        {"rgb", qtSeed(qtGradient(32, 32, QImage::Format_RGB32), "ico")},
        {"odd", qtSeed(qtGradient(5, 3, QImage::Format_ARGB32), "ico")},
    };
}

std::vector<Variant> seedsFor(const std::string& extension)
{
    if (extension == "jpg" || extension == "jpeg")
        return jpegSeeds();
    if (extension == "png")
        return pngSeeds();
    if (extension == "gif")
        return gifSeeds();
    if (extension == "tif" || extension == "tiff")
        return tiffSeeds();
    if (extension == "webp")
        return webpSeeds();
    if (extension == "heic" || extension == "heif")
        return heifSeeds(VIPS_FOREIGN_HEIF_COMPRESSION_HEVC);
    if (extension == "avif")
        return heifSeeds(VIPS_FOREIGN_HEIF_COMPRESSION_AV1);
    if (extension == "jxl")
        return jxlSeeds();
    if (extension == "bmp")
        return bmpSeeds();
    if (extension == "ico")
        return icoSeeds();
    throw std::runtime_error("no seeds for ." + extension);
}

void writeSeeds(const std::filesystem::path& root, const std::string& target)
{
    const std::string extension = target.substr(target.rfind('_') + 1);
    const std::filesystem::path dir = root / target;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    int n = 0;
    for (const Variant& v : seedsFor(extension)) {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%02d-", ++n);
        std::ofstream(dir / (prefix + std::string(v.name) + "." + extension), std::ios::binary) << v.bytes;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR picture_EXT...\n", argv[0]);
        return 2;
    }
    if (VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "libvips cannot start\n");
        return 1;
    }
    try {
        for (int i = 2; i < argc; ++i)
            writeSeeds(argv[1], argv[i]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
