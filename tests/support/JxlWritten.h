#pragma once

#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <vips/vips8>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace lmvo::test {

// The lossless JPEG XL file libjxl writes of `frames` (8-bit sRGB, three or four bands, all of
// one size): turned by `orientation`, and an animation of a tenth of a second a frame when
// there are several. libvips' writer makes neither. Shared by the tests and the fuzz seeds.
inline std::string jxlWritten(const std::vector<vips::VImage>& frames, int orientation = 1)
{
    const vips::VImage& first = frames.at(0);
    const auto channels = std::uint32_t(first.bands());
    const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = std::uint32_t(first.width());
    info.ysize = std::uint32_t(first.height());
    info.bits_per_sample = 8;
    info.uses_original_profile = JXL_TRUE;
    info.orientation = JxlOrientation(orientation);
    info.num_extra_channels = channels == 4 ? 1 : 0;
    info.alpha_bits = channels == 4 ? 8 : 0;
    info.have_animation = frames.size() > 1;
    info.animation.tps_numerator = 10;
    info.animation.tps_denominator = 1;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    bool ok = JxlEncoderSetBasicInfo(encoder.get(), &info) == JXL_ENC_SUCCESS &&
              JxlEncoderSetColorEncoding(encoder.get(), &srgb) == JXL_ENC_SUCCESS &&
              JxlEncoderSetFrameLossless(settings, JXL_TRUE) == JXL_ENC_SUCCESS;
    const JxlPixelFormat format{channels, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    for (const vips::VImage& frame : frames) {
        JxlFrameHeader header;
        JxlEncoderInitFrameHeader(&header);
        header.duration = 1;
        std::size_t size = 0;
        void* pixels = frame.write_to_memory(&size);
        ok = ok && JxlEncoderSetFrameHeader(settings, &header) == JXL_ENC_SUCCESS &&
             JxlEncoderAddImageFrame(settings, &format, pixels, size) == JXL_ENC_SUCCESS;
        g_free(pixels);
    }
    JxlEncoderCloseInput(encoder.get());
    std::string bytes(4096, '\0');
    std::size_t used = 0;
    JxlEncoderStatus status = JXL_ENC_NEED_MORE_OUTPUT;
    while (ok && status == JXL_ENC_NEED_MORE_OUTPUT) {
        bytes.resize(bytes.size() * 2);
        auto* next = reinterpret_cast<std::uint8_t*>(bytes.data()) + used;
        std::size_t room = bytes.size() - used;
        status = JxlEncoderProcessOutput(encoder.get(), &next, &room);
        used = bytes.size() - room;
    }
    if (!ok || status != JXL_ENC_SUCCESS)
        throw std::runtime_error("libjxl cannot write the test picture");
    bytes.resize(used);
    return bytes;
}

} // namespace lmvo::test
