#include "picture/WebpHeader.h"

#include "picture/PictureError.h"
#include "picture/PictureSize.h"

#include <cstdint>

namespace lmvo {
namespace {

std::uint32_t littleEndian(const std::string& data, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes && at + std::size_t(i) < data.size(); ++i)
        v |= std::uint32_t(std::uint8_t(data[at + std::size_t(i)])) << (8 * i);
    return v;
}

// A full-size picture of width x height pixels, checked as the shown picture is; failures say
// why the full size matters.
void checkFullSize(std::int64_t width, std::int64_t height, const char* kind)
{
    try {
        checkPictureSize(width, height);
    } catch (const PictureError& e) {
        throw PictureError(std::string("a ") + kind + " WebP picture is decoded at its full size: " + e.detail(),
                           PictureProblem::TooCostly);
    }
}

} // namespace

// RIFF layout: "RIFF" size "WEBP", then chunks of a four-letter name, a 32-bit little-endian
// size and the payload padded to an even length. VP8X carries the canvas size (24 bits each,
// minus one) and the animation flag; VP8L starts with 0x2F and 14-bit width and height minus one.
void checkWebpCost(const std::string& data)
{
    if (data.size() < 20 || data.compare(0, 4, "RIFF") != 0 || data.compare(8, 4, "WEBP") != 0)
        return; // the decoder reports what is wrong
    for (std::size_t at = 12; at + 8 <= data.size();) {
        const std::string name = data.substr(at, 4);
        const std::uint64_t size = littleEndian(data, at + 4, 4);
        const std::size_t payload = at + 8;
        if (name == "VP8X" && (littleEndian(data, payload, 1) & 0x02) != 0)
            checkFullSize(std::int64_t(littleEndian(data, payload + 4, 3)) + 1,
                          std::int64_t(littleEndian(data, payload + 7, 3)) + 1, "animated");
        if (name == "VP8L" && littleEndian(data, payload, 1) == 0x2F) {
            const std::uint32_t bits = littleEndian(data, payload + 1, 4);
            checkFullSize(std::int64_t(bits & 0x3FFF) + 1, std::int64_t((bits >> 14) & 0x3FFF) + 1, "lossless");
        }
        if (size > data.size())
            return;
        at = payload + std::size_t(size) + (size & 1);
    }
}

} // namespace lmvo
