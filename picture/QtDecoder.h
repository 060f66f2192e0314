#pragma once

#include "raster/Bitmap.h"

#include <string>

class QImage;

namespace lmvo {

// Decodes a file held in memory with Qt's reader for `format` ("bmp", "ico"): the extension
// decides, so content in another format fails. Throws PictureError.
[[nodiscard]] Bitmap decodeWithQt(const std::string& data, const char* format);

// A QImage as a bitmap; transparent parts are shown over black, the colour of a new bitmap.
[[nodiscard]] Bitmap bitmapOf(const QImage& image);

} // namespace lmvo
