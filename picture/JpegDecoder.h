#pragma once

#include "raster/Bitmap.h"

#include <string>

namespace lmvo {

// Decodes a JPEG file held in memory into an upright RGB picture: greyscale, CMYK and YCCK
// become RGB, and the EXIF orientation is applied. A truncated file gives what could be
// decoded. Throws PictureError carrying libjpeg's own message (without the file name).
[[nodiscard]] Bitmap decodeJpeg(const std::string& data);

// Refuses, from its markers alone, a JPEG file stored in more scans than decodeJpeg takes (for
// decoders that have no such limit of their own), or stored in several scans of a picture
// whose coefficients would take more memory than one picture may. Throws PictureError.
void checkJpegCost(const std::string& data);

} // namespace lmvo
