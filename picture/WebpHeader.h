#pragma once

#include <string>

namespace lmvo {

// Refuses, from its chunks alone, a WebP file that libwebp would decode at its full size
// whatever size it is shown at: a lossless picture, or an animation (whose canvas is kept
// whole), too large for the size check. Throws PictureError.
void checkWebpCost(const std::string& data);

} // namespace lmvo
