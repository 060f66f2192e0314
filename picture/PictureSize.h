#pragma once

#include <cstdint>
#include <optional>

namespace lmvo {

// Refuses, before any pixel is decoded, a picture whose transition buffers could not be had:
// more than 2^28 pixels, or four buffers of 4 bytes a pixel taking more than half of the
// memory the system reports available. Throws PictureError.
void checkPictureSize(std::int64_t width, std::int64_t height);
// The same against a given amount of available memory in bytes (none: not checked).
void checkPictureSize(std::int64_t width, std::int64_t height, std::optional<std::uint64_t> availableMemory);

// How a decoder holds a picture's samples while it decodes it.
struct SampleLayout {
    std::int64_t samplesPerPixel = 3;
    std::int64_t bitsPerSample = 8;
};
// Refuses, before any pixel is decoded, a picture the decoder would hold as more than the
// machine can give (width x height x samples per pixel x bytes per sample against half of the
// memory available), and one with more channels or deeper samples than any photograph has.
// Throws PictureError.
void checkDecodedSize(std::int64_t width, std::int64_t height, const SampleLayout& layout);
void checkDecodedSize(std::int64_t width, std::int64_t height, const SampleLayout& layout,
                      std::optional<std::uint64_t> availableMemory);

// Refuses a display size without room for a pixel. Throws PictureError.
void checkDisplaySize(std::int32_t width, std::int32_t height);

// The bytes the system says it could still hand out, or 0 when it does not say.
[[nodiscard]] std::uint64_t availableMemory();

} // namespace lmvo
