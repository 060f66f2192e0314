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

// The bytes the system says it could still hand out, or 0 when it does not say.
[[nodiscard]] std::uint64_t availableMemory();

} // namespace lmvo
