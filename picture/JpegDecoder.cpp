#include "picture/JpegDecoder.h"

#include "picture/ColourProfile.h"
#include "picture/PictureError.h"
#include "picture/PictureSize.h"

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <libexif/exif-data.h>

namespace lmvo {
namespace {

// Rows land directly in x8r8g8b8 memory: on a little-endian machine the bytes B, G, R, X.
// The alpha forms are asked for because libjpeg-turbo leaves the X byte of the X forms
// undefined, while it sets alpha to 0xFF, which is what a stored pixel needs there.
constexpr J_COLOR_SPACE kNativeX8R8G8B8 = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// Every scan of a file is a pass over the whole picture, and a progressive file may be split
// into any number of them: a few hundred kilobytes holding thousands of scans would keep the
// decoder busy for minutes. Encoders write about ten.
constexpr int kMaxScans = 500;

[[noreturn]] void failTooManyScans()
{
    throw PictureError("the JPEG picture is stored in more than " + std::to_string(kMaxScans) +
                           " scans, too many to decode in reasonable time",
                       PictureProblem::Unsupported);
}

// libjpeg reports errors through error_exit, which must not return; the default one ends the
// process. Ours jumps back into Decompressor::run, which turns the jump into a PictureError.
// The progress monitor jumps the same way when a file has too many scans.
struct ErrorTrap {
    jpeg_error_mgr manager; // first, so libjpeg's pointer to it is a pointer to the trap
    std::jmp_buf jump;
    bool tooManyScans = false;
};

void jumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

// libjpeg calls this between scans and rows while it reads, always from inside a call that
// Decompressor::run made.
void countScans(j_common_ptr info)
{
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= kMaxScans)
        return;
    auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
    trap->tooManyScans = true;
    std::longjmp(trap->jump, 1);
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
            jpeg_create_decompress(d); // clears everything but the error manager
            progress_.progress_monitor = countScans;
            d->progress = &progress_;
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
        if (trap_.tooManyScans) {
            jpeg_destroy_decompress(&info_);
            failTooManyScans();
        }
        char text[JMSG_LENGTH_MAX];
        (*trap_.manager.format_message)(reinterpret_cast<j_common_ptr>(&info_), text);
        jpeg_destroy_decompress(&info_); // safe to repeat: the destructor finds nothing left
        throw PictureError(text, PictureProblem::Damaged, "JPEG");
    }

    ErrorTrap trap_{};
    jpeg_progress_mgr progress_{};
    jpeg_decompress_struct info_{};
};

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

Orientation orientationOf(int tag)
{
    return kOrientations[tag >= 1 && tag <= 8 ? tag : 1];
}

// Decoded rows arrive in bands of stored rows. As stored, a band is decoded straight into the
// picture; otherwise it goes to a scratch band and is put in place from there, so a turned
// photo needs no second picture-sized buffer, and a band turned into columns writes runs of
// whole cache lines into each upright row (64 rows: a third faster than 16 on a 12-megapixel
// photo, with a band of 1 MB).
class Placer {
public:
    static constexpr std::int32_t kBand = 64;

    Placer(Bitmap& upright, Orientation o, std::int32_t storedWidth, std::int32_t storedHeight)
        : upright_(upright), o_(o), w_(storedWidth), h_(storedHeight),
          direct_(!o.transpose && !o.flipX && !o.flipY)
    {
        if (!direct_)
            band_.resize(std::size_t(w_) * kBand);
    }

    // Where stored row `first + i` of the band starting at stored row `first` is decoded.
    [[nodiscard]] std::uint32_t* row(std::int32_t first, std::int32_t i)
    {
        return direct_ ? upright_.scanLine(first + i) : band_.data() + std::size_t(i) * w_;
    }

    void place(std::int32_t first, std::int32_t count)
    {
        if (direct_)
            return;
        for (std::int32_t i = 0; i < count; ++i) {
            if (!o_.transpose)
                placeRow(first + i, row(first, i));
        }
        if (o_.transpose)
            placeColumns(first, count);
    }

private:
    [[nodiscard]] std::int32_t uprightX(std::int32_t storedX) const { return o_.flipX ? w_ - 1 - storedX : storedX; }
    [[nodiscard]] std::int32_t uprightY(std::int32_t storedY) const { return o_.flipY ? h_ - 1 - storedY : storedY; }

    void placeRow(std::int32_t storedY, const std::uint32_t* src)
    {
        std::uint32_t* dst = upright_.scanLine(uprightY(storedY));
        if (o_.flipX)
            std::reverse_copy(src, src + w_, dst);
        else
            std::copy(src, src + w_, dst);
    }

    // Stored row v becomes upright column uprightY(v); stored column u, upright row uprightX(u).
    void placeColumns(std::int32_t first, std::int32_t count)
    {
        for (std::int32_t u = 0; u < w_; ++u) {
            std::uint32_t* dst = upright_.scanLine(uprightX(u));
            for (std::int32_t i = 0; i < count; ++i)
                dst[uprightY(first + i)] = band_[std::size_t(i) * w_ + u];
        }
    }

    Bitmap& upright_;
    Orientation o_;
    std::int32_t w_, h_;
    bool direct_;
    std::vector<std::uint32_t> band_;
};

// The conversion of the picture's colours to sRGB that its embedded ICC profile asks for; none
// without a profile (the picture is taken as sRGB) or with one that cannot be used.
std::optional<ColourTransform> colourTransform(Decompressor& jpeg, StoredColour stored)
{
    JOCTET* icc = nullptr;
    unsigned int size = 0;
    jpeg.run([&](j_decompress_ptr d) { jpeg_read_icc_profile(d, &icc, &size); });
    const std::unique_ptr<JOCTET, decltype(&std::free)> owned(icc, std::free);
    if (!icc)
        return std::nullopt;
    return ColourTransform::toSrgb({icc, size}, stored);
}

// Decodes whole bands, so that placing sees full bands even where libjpeg hands out fewer
// rows per call. Colours are converted in place, band by band, before the band is placed.
void readRgbRows(Decompressor& jpeg, Placer& placer, const std::optional<ColourTransform>& colour)
{
    j_decompress_ptr d = jpeg.info();
    std::array<JSAMPROW, Placer::kBand> rows{};
    while (d->output_scanline < d->output_height) {
        const auto first = std::int32_t(d->output_scanline);
        const auto count = std::min(Placer::kBand, std::int32_t(d->output_height) - first);
        for (std::int32_t i = 0; i < count; ++i)
            rows[std::size_t(i)] = reinterpret_cast<JSAMPROW>(placer.row(first, i));
        std::int32_t filled = 0;
        for (JDIMENSION got = 1; filled < count && got > 0; filled += std::int32_t(got))
            jpeg.run([&](j_decompress_ptr dd) { got = jpeg_read_scanlines(dd, rows.data() + filled, JDIMENSION(count - filled)); });
        if (colour)
            for (std::int32_t i = 0; i < filled; ++i)
                colour->apply(rows[std::size_t(i)], placer.row(first, i), std::int32_t(d->output_width));
        placer.place(first, filled);
        if (filled < count)
            break; // a memory source never suspends; guard against looping for ever anyway
    }
}

void readCmykRows(Decompressor& jpeg, Placer& placer, bool inverted, const std::optional<ColourTransform>& colour)
{
    j_decompress_ptr d = jpeg.info();
    std::vector<JSAMPLE> buffer(std::size_t(d->output_width) * 4);
    JSAMPROW row = buffer.data();
    while (d->output_scanline < d->output_height) {
        const auto first = std::int32_t(d->output_scanline);
        const auto count = std::min(Placer::kBand, std::int32_t(d->output_height) - first);
        std::int32_t filled = 0;
        for (JDIMENSION got = 1; filled < count && got > 0; filled += std::int32_t(got)) {
            jpeg.run([&](j_decompress_ptr dd) { got = jpeg_read_scanlines(dd, &row, 1); });
            std::uint32_t* out = placer.row(first, filled);
            if (colour)
                colour->apply(buffer.data(), out, std::int32_t(got * d->output_width));
            else
                for (JDIMENSION x = 0; x < got * d->output_width; ++x) {
                    const JSAMPLE* p = buffer.data() + 4 * x;
                    out[x] = rgbOfCmyk(p[0], p[1], p[2], p[3], inverted);
                }
        }
        placer.place(first, filled);
        if (filled < count)
            break;
    }
}

} // namespace

namespace {

// What a frame header (SOFn) says about the coefficients libjpeg keeps.
struct JpegFrame {
    bool progressive = false;
    std::uint64_t width = 0, height = 0;
    // Bytes of DCT coefficients for the whole picture: 64 of 2 bytes per 8 x 8 block of every
    // component at its own sampling.
    std::uint64_t coefficientBytes = 0;
};

bool isFrameHeader(std::uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

JpegFrame frameOf(const std::string& data, std::size_t at, std::uint8_t marker)
{
    const auto byte = [&data](std::size_t i) { return i < data.size() ? std::uint8_t(data[i]) : std::uint8_t(0); };
    const auto word = [&byte](std::size_t i) { return std::uint64_t(byte(i)) << 8 | byte(i + 1); };
    JpegFrame frame;
    frame.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
    frame.height = word(at + 5);
    frame.width = word(at + 7);
    const std::size_t count = byte(at + 9);
    std::uint64_t hMax = 1, vMax = 1;
    for (std::size_t c = 0; c < count; ++c) {
        hMax = std::max<std::uint64_t>(hMax, byte(at + 11 + 3 * c) >> 4);
        vMax = std::max<std::uint64_t>(vMax, byte(at + 11 + 3 * c) & 15);
    }
    for (std::size_t c = 0; c < count; ++c) {
        const std::uint64_t h = std::max(1, byte(at + 11 + 3 * c) >> 4), v = std::max(1, byte(at + 11 + 3 * c) & 15);
        const std::uint64_t columns = (frame.width * h + 8 * hMax - 1) / (8 * hMax) + h;
        const std::uint64_t rows = (frame.height * v + 8 * vMax - 1) / (8 * vMax) + v;
        frame.coefficientBytes += columns * rows * 64 * 2;
    }
    return frame;
}

// A picture stored in several scans (progressive, or one scan per component) is decoded with
// the coefficients of the whole picture at its full size held at once, however small it is
// shown: a few hundred bytes declaring 65500 x 65500 pixels would take tens of gigabytes.
void checkCoefficients(const JpegFrame& frame, int scans)
{
    if (!frame.progressive && scans <= 1)
        return;
    constexpr std::uint64_t kMaxCoefficientBytes = std::uint64_t(1) << 30;
    const std::uint64_t available = availableMemory();
    const std::uint64_t budget = available ? std::min(kMaxCoefficientBytes, available / 2) : kMaxCoefficientBytes;
    if (frame.coefficientBytes <= budget)
        return;
    throw PictureError("the JPEG picture of " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                           " pixels is stored in several scans, whose decoding needs " +
                           std::to_string(frame.coefficientBytes >> 20) + " MB at once (at most " +
                           std::to_string(budget >> 20) + " MB)",
                       PictureProblem::TooCostly);
}

} // namespace

// Walks the markers: every segment but the entropy-coded data after a scan header says its
// length; within that data a 0xFF byte is followed by 0 (a stuffed byte), a restart marker or
// fill bytes, so the next other marker ends it.
void checkJpegCost(const std::string& data)
{
    const auto byte = [&data](std::size_t i) { return std::uint8_t(data[i]); };
    const auto isRestart = [](std::uint8_t m) { return m >= 0xD0 && m <= 0xD7; };
    int scans = 0;
    JpegFrame frame;
    std::size_t i = 2; // after the start-of-image marker
    while (i + 3 < data.size()) {
        if (byte(i) != 0xFF || byte(i + 1) == 0xFF) {
            ++i;
            continue;
        }
        const std::uint8_t marker = byte(i + 1);
        if (marker == 0xD9)
            break;
        if (isRestart(marker) || marker == 0x00 || marker == 0x01) {
            i += 2;
            continue;
        }
        if (isFrameHeader(marker) && frame.width == 0)
            frame = frameOf(data, i, marker);
        i += 2 + (std::size_t(byte(i + 2)) << 8 | byte(i + 3));
        if (marker != 0xDA)
            continue;
        if (++scans > kMaxScans)
            failTooManyScans();
        checkCoefficients(frame, scans);
        while (i + 1 < data.size() && !(byte(i) == 0xFF && byte(i + 1) != 0 && byte(i + 1) != 0xFF && !isRestart(byte(i + 1))))
            ++i;
    }
    checkCoefficients(frame, scans);
}

Bitmap decodeJpeg(const std::string& data)
{
    checkJpegCost(data);
    Decompressor jpeg(data);
    jpeg.run([](j_decompress_ptr d) {
        jpeg_save_markers(d, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(d, JPEG_APP0 + 2, 0xFFFF); // the ICC profile, in chunks
        jpeg_read_header(d, TRUE);
    });
    j_decompress_ptr d = jpeg.info();
    checkPictureSize(d->image_width, d->image_height);
    const Orientation orientation = orientationOf(exifOrientation(d->marker_list));

    // libjpeg converts every colour space to RGB itself except CMYK and YCCK, which it only
    // hands out as CMYK.
    const bool cmyk = d->jpeg_color_space == JCS_CMYK || d->jpeg_color_space == JCS_YCCK;
    d->out_color_space = cmyk ? JCS_CMYK : kNativeX8R8G8B8;
    // Adobe's CMYK is stored inverted, and libjpeg hands out YCCK as such CMYK.
    const bool inverted = d->saw_Adobe_marker;
    const std::optional<ColourTransform> colour =
        colourTransform(jpeg, !cmyk ? StoredColour::Rgb : inverted ? StoredColour::InvertedCmyk : StoredColour::Cmyk);
    jpeg.run([](j_decompress_ptr dd) { jpeg_start_decompress(dd); });

    const auto w = std::int32_t(d->output_width), h = std::int32_t(d->output_height);
    Bitmap upright = orientation.transpose ? Bitmap(h, w) : Bitmap(w, h);
    Placer placer(upright, orientation, w, h);
    if (cmyk)
        readCmykRows(jpeg, placer, inverted, colour);
    else
        readRgbRows(jpeg, placer, colour);
    // No jpeg_finish_decompress: every row is in, and whatever follows the image data (a
    // damaged trailer, say) must not cost the picture.
    return upright;
}

} // namespace lmvo
