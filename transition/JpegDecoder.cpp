#include "transition/JpegDecoder.h"

#include "transition/Picture.h"

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <libexif/exif-data.h>

namespace lmvo {
namespace {

// Rows land directly in the bitmap's memory: on a little-endian machine x8r8g8b8 words are
// the bytes B, G, R, X.
constexpr J_COLOR_SPACE kNativeX8R8G8B8 = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;

// libjpeg reports errors through error_exit, which must not return; the default one ends the
// process. Ours jumps back into Decompressor::run, which turns the jump into a PictureError.
struct ErrorTrap {
    jpeg_error_mgr manager; // first, so libjpeg's pointer to it is a pointer to the trap
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

// Warnings (a truncated file, a corrupt segment) are not errors: the picture shows what could
// be decoded, and nothing is printed.
void ignoreMessage(j_common_ptr) {}

// Owns a libjpeg decompressor reading from memory. Every libjpeg call goes through run(), so
// that between setjmp and a longjmp there are only libjpeg's frames and a lambda that owns
// nothing.
class Decompressor {
public:
    explicit Decompressor(const std::string& data)
    {
        info_.err = jpeg_std_error(&trap_.manager);
        trap_.manager.error_exit = jumpOnError;
        trap_.manager.output_message = ignoreMessage;
        run([&](j_decompress_ptr d) {
            jpeg_create_decompress(d);
            jpeg_mem_src(d, reinterpret_cast<const unsigned char*>(data.data()), static_cast<unsigned long>(data.size()));
        });
    }
    ~Decompressor() { jpeg_destroy_decompress(&info_); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    [[nodiscard]] j_decompress_ptr info() { return &info_; }

    template <typename Step>
    void run(Step&& step)
    {
        if (setjmp(trap_.jump))
            fail();
        step(&info_);
    }

private:
    [[noreturn]] void fail()
    {
        char text[JMSG_LENGTH_MAX];
        (*trap_.manager.format_message)(reinterpret_cast<j_common_ptr>(&info_), text);
        jpeg_destroy_decompress(&info_); // safe to repeat: the destructor finds nothing left
        throw PictureError(text);
    }

    ErrorTrap trap_{};
    jpeg_decompress_struct info_{};
};

void setOpaque(Bitmap& bitmap, std::int32_t firstRow, std::int32_t endRow)
{
    for (std::int32_t y = firstRow; y < endRow; ++y) {
        std::uint32_t* row = bitmap.scanLine(y);
        for (std::int32_t x = 0; x < bitmap.width(); ++x)
            row[x] |= 0xFF000000u;
    }
}

void readRgbRows(Decompressor& jpeg, Bitmap& bitmap)
{
    constexpr JDIMENSION kBatch = 16;
    j_decompress_ptr d = jpeg.info();
    std::array<JSAMPROW, kBatch> rows{};
    while (d->output_scanline < d->output_height) {
        const JDIMENSION first = d->output_scanline;
        const JDIMENSION count = std::min(kBatch, d->output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = reinterpret_cast<JSAMPROW>(bitmap.scanLine(std::int32_t(first + i)));
        JDIMENSION got = 0;
        jpeg.run([&](j_decompress_ptr dd) { got = jpeg_read_scanlines(dd, rows.data(), count); });
        setOpaque(bitmap, std::int32_t(first), std::int32_t(first + got));
        if (got == 0)
            break; // a memory source never suspends; guard against looping for ever anyway
    }
}

// Adobe's encoders store CMYK inverted (0 is full ink) and mark the file with their APP14
// segment; other encoders store plain ink amounts.
std::uint32_t rgbOfCmyk(std::uint32_t c, std::uint32_t m, std::uint32_t y, std::uint32_t k, bool inverted)
{
    if (!inverted) {
        c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    }
    const auto mix = [k](std::uint32_t v) { return (v * k + 127) / 255; };
    return 0xFF000000u | mix(c) << 16 | mix(m) << 8 | mix(y);
}

void readCmykRows(Decompressor& jpeg, Bitmap& bitmap, bool inverted)
{
    j_decompress_ptr d = jpeg.info();
    std::vector<JSAMPLE> buffer(std::size_t(d->output_width) * 4);
    JSAMPROW row = buffer.data();
    while (d->output_scanline < d->output_height) {
        const auto y = std::int32_t(d->output_scanline);
        JDIMENSION got = 0;
        jpeg.run([&](j_decompress_ptr dd) { got = jpeg_read_scanlines(dd, &row, 1); });
        if (got == 0)
            break;
        std::uint32_t* out = bitmap.scanLine(y);
        for (std::int32_t x = 0; x < bitmap.width(); ++x) {
            const JSAMPLE* p = buffer.data() + 4 * x;
            out[x] = rgbOfCmyk(p[0], p[1], p[2], p[3], inverted);
        }
    }
}

// The orientation tag of the first EXIF segment, 1 (as stored) when there is none.
int exifOrientation(jpeg_saved_marker_ptr markers)
{
    static constexpr unsigned char kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    for (auto m = markers; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < sizeof kExifHeader ||
            std::memcmp(m->data, kExifHeader, sizeof kExifHeader) != 0)
            continue;
        const std::unique_ptr<ExifData, decltype(&exif_data_unref)> exif(
            exif_data_new_from_data(m->data, m->data_length), exif_data_unref);
        if (!exif)
            return 1;
        const ExifEntry* e = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
        if (!e || e->format != EXIF_FORMAT_SHORT || e->components < 1 || e->size < 2)
            return 1;
        return exif_get_short(e->data, exif_data_get_byte_order(exif.get()));
    }
    return 1;
}

// How the stored rows map onto the upright picture: upright (x, y) shows stored (u, v), where
// (u, v) is (y, x) when transposed and (x, y) otherwise, each then mirrored where flipped.
struct Orientation {
    bool transpose, flipX, flipY;
};
constexpr std::array<Orientation, 9> kOrientations{{
    {false, false, false}, // (no tag value 0: as stored)
    {false, false, false}, // 1 as stored
    {false, true, false},  // 2 mirrored left to right
    {false, true, true},   // 3 turned half way round
    {false, false, true},  // 4 mirrored top to bottom
    {true, false, false},  // 5 mirrored along the main diagonal
    {true, false, true},   // 6 shown turned a quarter clockwise (a portrait phone photo)
    {true, true, true},    // 7 mirrored along the other diagonal
    {true, true, false},   // 8 shown turned a quarter counter-clockwise
}};

void flipInPlace(Bitmap& bitmap, bool flipX, bool flipY)
{
    const std::int32_t w = bitmap.width(), h = bitmap.height();
    if (flipY) {
        for (std::int32_t y = 0; y < h / 2; ++y)
            std::swap_ranges(bitmap.scanLine(y), bitmap.scanLine(y) + w, bitmap.scanLine(h - 1 - y));
    }
    if (flipX) {
        for (std::int32_t y = 0; y < h; ++y)
            std::reverse(bitmap.scanLine(y), bitmap.scanLine(y) + w);
    }
}

Bitmap transposed(const Bitmap& src, bool flipX, bool flipY)
{
    // Tiles keep both the rows read and the rows written in cache.
    constexpr std::int32_t kTile = 64;
    const std::int32_t w = src.width(), h = src.height();
    Bitmap out(h, w);
    for (std::int32_t y0 = 0; y0 < w; y0 += kTile) {
        for (std::int32_t x0 = 0; x0 < h; x0 += kTile) {
            const std::int32_t yEnd = std::min(y0 + kTile, w), xEnd = std::min(x0 + kTile, h);
            for (std::int32_t y = y0; y < yEnd; ++y) {
                const std::int32_t u = flipX ? w - 1 - y : y;
                std::uint32_t* dst = out.scanLine(y);
                for (std::int32_t x = x0; x < xEnd; ++x)
                    dst[x] = src.scanLine(flipY ? h - 1 - x : x)[u];
            }
        }
    }
    return out;
}

} // namespace

Bitmap orientUpright(Bitmap stored, int orientation)
{
    const Orientation o = kOrientations[orientation >= 1 && orientation <= 8 ? orientation : 1];
    if (o.transpose)
        return transposed(stored, o.flipX, o.flipY);
    flipInPlace(stored, o.flipX, o.flipY);
    return stored;
}

Bitmap decodeJpeg(const std::string& data)
{
    Decompressor jpeg(data);
    jpeg.run([](j_decompress_ptr d) {
        jpeg_save_markers(d, JPEG_APP0 + 1, 0xFFFF);
        jpeg_read_header(d, TRUE);
    });
    j_decompress_ptr d = jpeg.info();
    checkPictureSize(d->image_width, d->image_height);
    const int orientation = exifOrientation(d->marker_list);

    // libjpeg converts every colour space to RGB itself except CMYK and YCCK, which it only
    // hands out as CMYK.
    const bool cmyk = d->jpeg_color_space == JCS_CMYK || d->jpeg_color_space == JCS_YCCK;
    d->out_color_space = cmyk ? JCS_CMYK : kNativeX8R8G8B8;
    jpeg.run([](j_decompress_ptr dd) { jpeg_start_decompress(dd); });

    Bitmap bitmap(std::int32_t(d->output_width), std::int32_t(d->output_height));
    if (cmyk)
        readCmykRows(jpeg, bitmap, d->saw_Adobe_marker);
    else
        readRgbRows(jpeg, bitmap);
    // No jpeg_finish_decompress: every row is in, and whatever follows the image data (a
    // damaged trailer, say) must not cost the picture.
    return orientUpright(std::move(bitmap), orientation);
}

} // namespace lmvo
