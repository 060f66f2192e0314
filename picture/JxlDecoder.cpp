#include "picture/JxlDecoder.h"

#include "picture/ColourProfile.h"
#include "picture/PictureError.h"
#include "picture/PictureSize.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

// libjxl itself, not libvips' loader: the loader of libvips 8.14 decodes every frame of an
// animation and keeps the last, where the show wants the first and nothing more to be spent.

namespace lmvo {
namespace {

// libjxl decodes on threads of its own; a picture is decoded while a transition runs, so it
// takes only a part of the machine, as libvips does.
constexpr std::size_t kThreads = 2;
// The file is handed over in slices, each decoded as far as it goes, so that a stop is seen
// between them and not only once a large picture is complete.
constexpr std::size_t kSlice = std::size_t(1) << 20;

// Every pixel as four bytes R, G, B, A, whatever the file stores: libjxl turns grey into three
// equal channels and fills a missing alpha with opaque.
constexpr JxlPixelFormat kRgba8{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

[[noreturn]] void failDamaged(const char* detail)
{
    throw PictureError(detail, PictureProblem::Damaged, "JPEG XL");
}

class FirstFrame {
public:
    FirstFrame(const std::string& data, std::stop_token stop) : data_(data), stop_(std::move(stop)) {}

    Bitmap decode()
    {
        if (!decoder_ || !runner_ ||
            JxlDecoderSetParallelRunner(decoder_.get(), JxlThreadParallelRunner, runner_.get()) != JXL_DEC_SUCCESS ||
            JxlDecoderSubscribeEvents(decoder_.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE) !=
                JXL_DEC_SUCCESS)
            throw PictureError("the JPEG XL decoder cannot start", PictureProblem::NotShown);
        if (data_.empty())
            failDamaged("the file is empty");
        // libjxl turns the picture upright itself.
        JxlDecoderSetKeepOrientation(decoder_.get(), JXL_FALSE);
        giveMoreInput();
        for (;;) {
            if (stop_.stop_requested())
                throw PictureCancelled();
            switch (JxlDecoderProcessInput(decoder_.get())) {
            case JXL_DEC_BASIC_INFO: readBasicInfo(); break;
            case JXL_DEC_COLOR_ENCODING: readColourProfile(); break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: giveImageBuffer(); break;
            case JXL_DEC_NEED_MORE_INPUT: giveMoreInput(); break;
            // Coalesced, the first full image is the first frame as shown, whatever layers
            // make it; what follows it is never decoded.
            case JXL_DEC_FULL_IMAGE: return finished();
            case JXL_DEC_SUCCESS: failDamaged("the file holds no picture");
            default: failDamaged("the JPEG XL decoder could not read the file");
            }
        }
    }

private:
    // The input is never closed: at the end of a short file libjxl then asks for more instead
    // of printing its complaint to the terminal.
    void giveMoreInput()
    {
        if (given_ == data_.size())
            failDamaged("the file ends before its picture is complete");
        const std::size_t unused = given_ == 0 ? 0 : JxlDecoderReleaseInput(decoder_.get());
        const std::size_t from = given_ - unused;
        given_ = std::min(data_.size(), given_ + kSlice);
        JxlDecoderSetInput(decoder_.get(), reinterpret_cast<const std::uint8_t*>(data_.data()) + from, given_ - from);
    }

    void readBasicInfo()
    {
        if (JxlDecoderGetBasicInfo(decoder_.get(), &info_) != JXL_DEC_SUCCESS)
            failDamaged("the JPEG XL decoder could not read the file's header");
        // libjxl holds every channel, colour and extra alike, as a plane of 32-bit samples.
        checkDecodedSize(info_.xsize, info_.ysize,
                         {std::int64_t(info_.num_color_channels) + info_.num_extra_channels, 32});
    }

    // Pixels coded in libjxl's own colour space (lossy files, mostly) come out in sRGB straight
    // away; the others keep the profile they were stored in, and Little CMS converts them.
    void readColourProfile()
    {
        if (!info_.uses_original_profile) {
            JxlColorEncoding srgb{};
            srgb.color_space = info_.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
            srgb.white_point = JXL_WHITE_POINT_D65;
            srgb.primaries = JXL_PRIMARIES_SRGB;
            srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
            srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
            JxlDecoderSetPreferredColorProfile(decoder_.get(), &srgb);
        }
        std::size_t size = 0;
        if (JxlDecoderGetICCProfileSize(decoder_.get(), &kRgba8, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS)
            return;
        std::vector<std::uint8_t> icc(size);
        if (JxlDecoderGetColorAsICCProfile(decoder_.get(), &kRgba8, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(), size) ==
            JXL_DEC_SUCCESS)
            toSrgb_ = ColourTransform::toSrgb(icc, StoredColour::Rgb);
    }

    // The decoder writes straight into the bitmap: four bytes a pixel, as many as it holds.
    void giveImageBuffer()
    {
        std::size_t size = 0;
        if (JxlDecoderImageOutBufferSize(decoder_.get(), &kRgba8, &size) != JXL_DEC_SUCCESS ||
            size != std::size_t(info_.xsize) * info_.ysize * 4)
            failDamaged("the JPEG XL decoder could not read the file");
        bitmap_ = Bitmap(std::int32_t(info_.xsize), std::int32_t(info_.ysize));
        if (JxlDecoderSetImageOutBuffer(decoder_.get(), &kRgba8, bitmap_.bits(), size) != JXL_DEC_SUCCESS)
            failDamaged("the JPEG XL decoder could not read the file");
    }

    // The bytes R, G, B, A of each pixel, in place, as a stored pixel over black, then in sRGB.
    Bitmap finished()
    {
        const bool premultiplied = info_.alpha_premultiplied != JXL_FALSE;
        for (std::int32_t y = 0; y < bitmap_.height(); ++y) {
            std::uint32_t* row = bitmap_.scanLine(y);
            auto* bytes = reinterpret_cast<const std::uint8_t*>(row);
            for (std::int32_t x = 0; x < bitmap_.width(); ++x, bytes += 4) {
                const std::uint32_t a = premultiplied ? 255 : bytes[3];
                const auto over = [a](std::uint32_t c) { return a == 255 ? c : (c * a + 127) / 255; };
                row[x] = pixelOf(over(bytes[0]) << 16 | over(bytes[1]) << 8 | over(bytes[2]));
            }
            if (toSrgb_)
                toSrgb_->apply(row, row, bitmap_.width());
        }
        return std::move(bitmap_);
    }

    const std::string& data_;
    std::stop_token stop_;
    JxlDecoderPtr decoder_ = JxlDecoderMake(nullptr);
    JxlThreadParallelRunnerPtr runner_ = JxlThreadParallelRunnerMake(nullptr, kThreads);
    std::size_t given_ = 0; // bytes of data_ handed to the decoder so far
    JxlBasicInfo info_{};
    std::optional<ColourTransform> toSrgb_;
    Bitmap bitmap_;
};

} // namespace

Bitmap decodeJxl(const std::string& data, std::stop_token stop)
{
    return FirstFrame(data, std::move(stop)).decode();
}

} // namespace lmvo
