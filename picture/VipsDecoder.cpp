#include "picture/VipsDecoder.h"

#include "picture/ColourProfile.h"
#include "picture/PictureError.h"
#include "picture/PictureSize.h"

#include <vips/vips8>
#include <vips/vector.h>

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lmvo {
namespace {

using vips::VError;
using vips::VImage;
using vips::VOption;

// libvips works on threads of its own; a picture is decoded while a transition runs, so it
// takes only a part of the machine.
constexpr int kVipsThreads = 2;

void ignoreLogMessage(const char*, GLogLevelFlags, const char*, void*) {}

// Starts libvips once for the whole process. Its warnings (a damaged chunk, say) would go to
// the terminal; what matters reaches the user as an error. Its operation cache would keep
// decoded pictures alive after their load: a show never loads the same picture twice in a
// row, so it is off. Its vector code compiled at run time (ORC) is off too: the compiler writes
// its code through a temporary file, and the decoder process may open no file for writing.
void startVipsOnce()
{
    static const bool started = [] {
        if (vips_init("lmvo") != 0)
            return false;
        g_log_set_handler("VIPS", GLogLevelFlags(G_LOG_LEVEL_MASK & ~G_LOG_LEVEL_ERROR), ignoreLogMessage, nullptr);
        vips_cache_set_max(0);
        vips_concurrency_set(kVipsThreads);
        vips_vector_set_enabled(FALSE);
        return true;
    }();
    if (!started)
        throw PictureError("the picture library libvips cannot start");
}

// libvips keeps one error text for the whole process and only ever adds to it; every load
// starts it afresh and takes it when it fails, so a text says only what went wrong there.
void forgetVipsErrors()
{
    vips_error_clear();
}

// libvips' message, its lines joined.
std::string reasonOf(const VError& e)
{
    std::string text = e.what();
    forgetVipsErrors();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, "; ");
    return text.empty() ? "the picture library could not read the file" : text;
}

// libvips' failure as a picture error. Memory it could not have means the picture wanted more
// than a picture may take (in the decoder process, its memory ceiling), not that it is damaged.
PictureError vipsFailure(const VError& e)
{
    const std::string reason = reasonOf(e);
    const bool outOfMemory = reason.find("out of memory") != std::string::npos;
    return PictureError(reason, outOfMemory ? PictureProblem::TooCostly : PictureProblem::Damaged);
}

// The file's bytes as libvips reads them, without a copy; the caller keeps them alive.
struct BlobUnref {
    void operator()(VipsBlob* blob) const { vips_area_unref(reinterpret_cast<VipsArea*>(blob)); }
};
using Blob = std::unique_ptr<VipsBlob, BlobUnref>;

Blob blobOf(const std::string& data)
{
    return Blob(vips_blob_new(nullptr, data.data(), data.size()));
}

// A TIFF file as a single page. libtiff's reader counts the pages of a file by walking the
// chain of page directories, one read each, before any is decoded: a few megabytes holding a
// million empty pages would keep it busy for minutes. Cutting the chain after the first
// directory leaves the first page, which is all that is shown. Returns nothing for a file
// that has one page or that is too damaged to tell; the reader reports the damage.
std::optional<std::string> firstTiffPage(const std::string& data)
{
    const auto read = [&data](std::size_t at, int bytes) -> std::optional<std::uint64_t> {
        if (at + std::size_t(bytes) > data.size() || at > data.size())
            return std::nullopt;
        const bool little = data[0] == 'I';
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= std::uint64_t(std::uint8_t(data[at + std::size_t(little ? i : bytes - 1 - i)])) << (8 * i);
        return v;
    };
    if (data.size() < 16 || (data.compare(0, 2, "II") != 0 && data.compare(0, 2, "MM") != 0))
        return std::nullopt;
    const auto version = read(2, 2);
    const bool big = version == 43u; // BigTIFF: 64-bit offsets and counts, 20-byte entries
    if (!big && version != 42u)
        return std::nullopt;
    const auto first = big ? read(8, 8) : read(4, 4);
    const auto entries = first ? read(std::size_t(*first), big ? 8 : 2) : std::nullopt;
    if (!entries || *entries > data.size())
        return std::nullopt;
    const std::size_t next = std::size_t(*first) + (big ? 8 : 2) + std::size_t(*entries) * (big ? 20 : 12);
    const auto nextOffset = read(next, big ? 8 : 4);
    if (!nextOffset || *nextOffset == 0)
        return std::nullopt;
    std::string single = data;
    single.replace(next, big ? 8 : 4, std::string(big ? 8 : 4, '\0'));
    return single;
}

using Loader = VImage (*)(VipsBlob*, VOption*);

struct FormatLoader {
    VipsFormat format;
    Loader load;
    // JPEG shows what could be decoded of a damaged file, as the full-size decoder does; the
    // others would show grey or black for what is missing, so they fail instead.
    VipsFailOn failOn;
};
constexpr std::array<FormatLoader, 6> kLoaders{{
    {VipsFormat::Jpeg, VImage::jpegload_buffer, VIPS_FAIL_ON_NONE},
    {VipsFormat::Png, VImage::pngload_buffer, VIPS_FAIL_ON_TRUNCATED},
    {VipsFormat::Gif, VImage::gifload_buffer, VIPS_FAIL_ON_TRUNCATED},
    {VipsFormat::Tiff, VImage::tiffload_buffer, VIPS_FAIL_ON_TRUNCATED},
    {VipsFormat::Webp, VImage::webpload_buffer, VIPS_FAIL_ON_TRUNCATED},
    {VipsFormat::Heif, VImage::heifload_buffer, VIPS_FAIL_ON_TRUNCATED},
}};

const FormatLoader& loaderOf(VipsFormat format)
{
    return *std::find_if(kLoaders.begin(), kLoaders.end(), [format](const FormatLoader& l) { return l.format == format; });
}

// Only the header is read here: pixels are decoded when the result is written to memory, so
// the size can be checked first. Every loader reads the first frame or page alone unless told
// otherwise.
VImage load(VipsBlob* blob, VipsFormat format, VOption* extra = nullptr)
{
    const FormatLoader& loader = loaderOf(format);
    VOption* options = extra ? extra : VImage::option();
    options->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", loader.failOn);
    return loader.load(blob, options);
}

// What the loader holds per pixel, from the header alone.
SampleLayout layoutOf(const VImage& image)
{
    return {image.bands(), std::int64_t(vips_format_sizeof(image.format())) * 8};
}

int orientationOf(const VImage& image)
{
    return image.get_typeof(VIPS_META_ORIENTATION) != 0 ? image.get_int(VIPS_META_ORIENTATION) : 1;
}

bool isTurned(const VImage& image)
{
    const int orientation = orientationOf(image);
    return orientation >= 5 && orientation <= 8;
}

bool hasProfile(const VImage& image)
{
    return image.get_typeof(VIPS_META_ICC_NAME) != 0;
}

VImage withoutProfile(const VImage& image)
{
    VImage copy = image.copy();
    copy.remove(VIPS_META_ICC_NAME);
    return copy;
}

// A CMYK picture in sRGB, through its embedded profile (or libvips' own CMYK profile where it
// has none or one that cannot be used), perceptual intent.
VImage cmykInSrgb(const VImage& image)
{
    const auto imported = [](const VImage& cmyk) {
        return withoutProfile(cmyk.icc_import(VImage::option()
                                                  ->set("embedded", true)
                                                  ->set("input_profile", "cmyk")
                                                  ->set("intent", VIPS_INTENT_PERCEPTUAL))
                                  .colourspace(VIPS_INTERPRETATION_sRGB));
    };
    if (image.interpretation() != VIPS_INTERPRETATION_CMYK)
        return image;
    try {
        return imported(image);
    } catch (const VError&) {
        forgetVipsErrors();
        return imported(withoutProfile(image));
    }
}

// The embedded profile of a picture (none: empty).
std::vector<std::uint8_t> profileOf(const VImage& image)
{
    if (!hasProfile(image))
        return {};
    std::size_t size = 0;
    const auto* data = static_cast<const std::uint8_t*>(image.get_blob(VIPS_META_ICC_NAME, &size));
    return {data, data + size};
}

// The pixels of an RGB or grey picture, resampled already, from its profile to sRGB by the same
// transform the JPEG decoder uses, so that a picture shows the same colours at either size.
void convertToSrgb(Bitmap& bitmap, const std::vector<std::uint8_t>& profile)
{
    if (profile.empty())
        return;
    const std::optional<ColourTransform> transform = ColourTransform::toSrgb(profile, StoredColour::Rgb);
    if (!transform)
        return;
    for (std::int32_t y = 0; y < bitmap.height(); ++y)
        transform->apply(bitmap.scanLine(y), bitmap.scanLine(y), bitmap.width());
}

// Three bands of 8-bit sRGB; transparent parts over black.
VImage opaqueSrgb8(VImage image)
{
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB && vips_colourspace_issupported(image.get_image()))
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (vips_image_hasalpha(image.get_image()))
        image = image.flatten();
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() < 3)
        return image[0].bandjoin(image[0]).bandjoin(image[0]);
    return image.bands() == 3 ? image : image.extract_band(0, VImage::option()->set("n", 3));
}

// Runs the pipeline that makes `image` into memory and packs it into a bitmap. A stop kills
// the pipeline between the strips libvips works on.
Bitmap bitmapOf(const VImage& image, std::stop_token stop)
{
    if (stop.stop_requested())
        throw PictureCancelled();
    const VImage rgb = image.bands() == 3 && image.format() == VIPS_FORMAT_UCHAR ? image : opaqueSrgb8(image);
    std::size_t size = 0;
    std::unique_ptr<void, decltype(&g_free)> memory(nullptr, g_free);
    {
        const std::stop_callback kill(stop, [im = rgb.get_image()] { vips_image_set_kill(im, TRUE); });
        try {
            memory.reset(rgb.write_to_memory(&size));
        } catch (const VError& e) {
            if (stop.stop_requested())
                throw PictureCancelled();
            throw vipsFailure(e);
        }
    }
    if (stop.stop_requested())
        throw PictureCancelled();
    Bitmap bitmap(rgb.width(), rgb.height());
    const auto* p = static_cast<const std::uint8_t*>(memory.get());
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        std::uint32_t* row = bitmap.scanLine(y);
        for (std::int32_t x = 0; x < bitmap.width(); ++x, p += 3)
            row[x] = pixelOf(Color(p[0]) << 16 | Color(p[1]) << 8 | p[2]);
    }
    return bitmap;
}

// The largest JPEG scale (1/2, 1/4, 1/8) at which the decoded picture still covers what is
// shown of it in both directions.
int jpegShrink(int width, int height, const DisplaySize& size)
{
    const double x = double(width) / size.width, y = double(height) / size.height;
    const double factor = size.fit == FitMode::Stretch ? std::min(x, y) : std::max(x, y);
    // libvips rounds a shrunk side down: a side narrower than the scale would become no pixels
    // at all, which it takes for a broken image and aborts on.
    const int shortest = std::min(width, height);
    int shrink = 1;
    while (shrink < 8 && factor >= 2 * shrink && shortest >= 2 * shrink)
        shrink *= 2;
    return shrink;
}

// JPEG and WebP decode straight at a smaller scale; the others at full size.
VImage loadForSize(VipsBlob* blob, VipsFormat format, const DisplaySize& shown)
{
    const VImage header = load(blob, format);
    if (format != VipsFormat::Jpeg && format != VipsFormat::Webp)
        return header;
    const bool turned = isTurned(header);
    const DisplaySize stored{turned ? shown.height : shown.width, turned ? shown.width : shown.height, shown.fit};
    const int shrink = jpegShrink(header.width(), header.height(), stored);
    if (shrink == 1)
        return header;
    if (format == VipsFormat::Jpeg)
        return load(blob, format, VImage::option()->set("shrink", shrink));
    return load(blob, format, VImage::option()->set("scale", 1.0 / shrink));
}

// libvips' thumbnail: it turns the picture upright, averages when shrinking (Lanczos) and
// interpolates when enlarging, with transparency premultiplied.
VImage shownAt(const VImage& image, const DisplaySize& size)
{
    return image.thumbnail_image(size.width, VImage::option()
                                                 ->set("height", size.height)
                                                 ->set("size", size.fit == FitMode::Stretch ? VIPS_SIZE_FORCE : VIPS_SIZE_BOTH));
}

Bitmap fittedBitmap(const VImage& image, const DisplaySize& size, std::stop_token stop)
{
    checkPictureSize(size.width, size.height);
    const VImage rgb = cmykInSrgb(image);
    Bitmap shown = bitmapOf(opaqueSrgb8(shownAt(rgb, size)), stop);
    convertToSrgb(shown, profileOf(rgb));
    if (shown.width() == size.width && shown.height() == size.height)
        return shown;
    // Fitted inside and centred on black (or, should libvips round a stretch a pixel off,
    // kept at the exact size).
    Bitmap out(size.width, size.height);
    const bool centred = size.fit == FitMode::FitInside;
    out.draw(centred ? (size.width - shown.width()) / 2 : 0, centred ? (size.height - shown.height()) / 2 : 0, shown);
    return out;
}

// The bytes to hand to the loader: for a TIFF its first page alone.
const std::string& pagesToRead(const std::string& data, VipsFormat format, std::optional<std::string>& firstPage)
{
    if (format == VipsFormat::Tiff)
        firstPage = firstTiffPage(data);
    return firstPage ? *firstPage : data;
}

template <typename Work>
Bitmap reportingVipsErrors(Work&& work)
{
    startVipsOnce();
    forgetVipsErrors();
    try {
        return work();
    } catch (const VError& e) {
        throw vipsFailure(e);
    }
}

} // namespace

void startVips() { startVipsOnce(); }

Bitmap decodeWithVips(const std::string& data, VipsFormat format, std::stop_token stop)
{
    return reportingVipsErrors([&] {
        std::optional<std::string> firstPage;
        const Blob blob = blobOf(pagesToRead(data, format, firstPage));
        const VImage image = load(blob.get(), format);
        checkDecodedSize(image.width(), image.height(), layoutOf(image));
        const VImage rgb = cmykInSrgb(image);
        VImage shown = opaqueSrgb8(rgb);
        // Turning needs the whole picture at hand; the pipeline before it runs top to bottom.
        if (orientationOf(shown) != 1)
            shown = shown.copy_memory().autorot();
        Bitmap bitmap = bitmapOf(shown, stop);
        convertToSrgb(bitmap, profileOf(rgb));
        return bitmap;
    });
}

Bitmap decodeWithVipsAt(const std::string& data, VipsFormat format, const DisplaySize& size, std::stop_token stop)
{
    return reportingVipsErrors([&] {
        std::optional<std::string> firstPage;
        const Blob blob = blobOf(pagesToRead(data, format, firstPage));
        const VImage image = loadForSize(blob.get(), format, size);
        checkDecodedSize(image.width(), image.height(), layoutOf(image));
        return fittedBitmap(image, size, stop);
    });
}

Bitmap resampledWithVips(const Bitmap& picture, const DisplaySize& size, std::stop_token stop)
{
    return reportingVipsErrors([&] {
        // A stored pixel is 0xFFRRGGBB: bytes B, G, R, X on a little-endian machine.
        constexpr bool little = std::endian::native == std::endian::little;
        const VImage xrgb = VImage::new_from_memory(const_cast<std::uint32_t*>(picture.bits()),
                                                    std::size_t(picture.width()) * picture.height() * 4,
                                                    picture.width(), picture.height(), 4, VIPS_FORMAT_UCHAR);
        const VImage rgb = little ? xrgb[2].bandjoin(xrgb[1]).bandjoin(xrgb[0]) : xrgb.extract_band(1, VImage::option()->set("n", 3));
        return fittedBitmap(rgb.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)), size, stop);
    });
}

} // namespace lmvo
