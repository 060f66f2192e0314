#pragma once

#include "raster/Bitmap.h"

#include <stop_token>
#include <string>

namespace lmvo {

// Decodes a JPEG XL file held in memory at its full size: the first frame of an animation
// alone, upright by its orientation, converted from its colour profile to sRGB and with
// transparent parts over black. The declared size is checked before any pixel is decoded.
// Throws PictureError (without the file name); a stop requested through `stop` ends the work
// early with PictureCancelled.
[[nodiscard]] Bitmap decodeJxl(const std::string& data, std::stop_token stop = {});

} // namespace lmvo
