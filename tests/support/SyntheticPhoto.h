#pragma once

#include <cstdint>
#include <string>

namespace lmvo {

// Writes a photograph-like JPEG of any size: smooth gradients under fine noise, so that a decoder
// works on it as on a real photograph, and `seed` tells pictures of the same size apart. Written
// row by row, so a 100-MP picture needs no 400-MB image. False when the file cannot be written.
[[nodiscard]] bool writeSyntheticPhoto(const std::string& path, int width, int height, std::uint32_t seed,
                                       int quality = 90);

} // namespace lmvo
