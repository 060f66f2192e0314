#include "picture/PictureSize.h"

#include "picture/PictureError.h"

#include <fstream>
#include <string>

namespace lmvo {

void checkPictureSize(std::int64_t width, std::int64_t height, std::optional<std::uint64_t> available)
{
    constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width <= 0 || height <= 0)
        throw PictureError("the picture has no pixels (" + size + ")");
    if (width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
        throw PictureError("the picture is too large (" + size + "; at most " + std::to_string(kMaxPixels) +
                               " pixels can be shown)",
                           PictureProblem::TooLarge);
    // A transition holds four picture-sized buffers of 4 bytes a pixel. Linux overcommits, so
    // asking for them and failing late would end the process instead of reporting an error.
    const std::uint64_t needed = std::uint64_t(width * height) * 4 * 4;
    if (available && needed > *available / 2)
        throw PictureError("not enough memory to show a picture of " + size + " (" + std::to_string(needed >> 20) +
                               " MB needed, " + std::to_string(*available >> 20) + " MB available)",
                           PictureProblem::NoMemory);
}

void checkDisplaySize(std::int32_t width, std::int32_t height)
{
    if (width <= 0 || height <= 0)
        throw PictureError("there is no room to show the picture in (" + std::to_string(width) + " x " +
                               std::to_string(height) + " pixels)",
                           PictureProblem::NotShown);
}

void checkPictureSize(std::int64_t width, std::int64_t height)
{
    const std::uint64_t memory = availableMemory();
    checkPictureSize(width, height, memory ? std::optional(memory) : std::nullopt);
}

// A photograph has at most CMYK and alpha; a few more leave room for the extra channels image
// editors keep. Samples deeper than 32 bits (doubles, complex numbers) are measurements, not
// pictures.
constexpr std::int64_t kMaxSamplesPerPixel = 8;
constexpr std::int64_t kMaxBitsPerSample = 32;

void checkDecodedSize(std::int64_t width, std::int64_t height, const SampleLayout& layout,
                      std::optional<std::uint64_t> available)
{
    checkPictureSize(width, height, available);
    if (layout.samplesPerPixel < 1 || layout.samplesPerPixel > kMaxSamplesPerPixel ||
        layout.bitsPerSample < 1 || layout.bitsPerSample > kMaxBitsPerSample)
        throw PictureError("the picture has " + std::to_string(layout.samplesPerPixel) + " samples of " +
                               std::to_string(layout.bitsPerSample) + " bits per pixel; at most " +
                               std::to_string(kMaxSamplesPerPixel) + " of " + std::to_string(kMaxBitsPerSample) +
                               " bits can be shown",
                           PictureProblem::Unsupported);
    const std::uint64_t bytes =
        std::uint64_t(width * height) * std::uint64_t(layout.samplesPerPixel) * std::uint64_t((layout.bitsPerSample + 7) / 8);
    if (available && bytes > *available / 2)
        throw PictureError("not enough memory to decode a picture of " + std::to_string(width) + " x " +
                               std::to_string(height) + " pixels with " + std::to_string(layout.samplesPerPixel) +
                               " samples of " + std::to_string(layout.bitsPerSample) + " bits (" +
                               std::to_string(bytes >> 20) + " MB needed, " + std::to_string(*available >> 20) +
                               " MB available)",
                           PictureProblem::NoMemory);
}

void checkDecodedSize(std::int64_t width, std::int64_t height, const SampleLayout& layout)
{
    const std::uint64_t memory = availableMemory();
    checkDecodedSize(width, height, layout, memory ? std::optional(memory) : std::nullopt);
}

} // namespace lmvo
