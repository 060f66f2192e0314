#pragma once

// The one entry for loading pictures, for every format: chosen by the file's extension (no
// content sniffing: a PNG named .jpg fails clearly), each decoder checking the declared size
// before its first pixel.

#include "picture/DisplaySize.h"
#include "picture/PictureError.h"
#include "raster/Bitmap.h"

#include <stop_token>
#include <string>

namespace lmvo {

// Whether `extension` (without its dot, any ASCII case) names a format the loader reads.
[[nodiscard]] bool isPictureExtension(const std::string& extension);

// Decodes an image file held in memory at its full size, by its extension (without the dot).
// Throws PictureError naming `name`.
[[nodiscard]] Bitmap decodePicture(const std::string& extension, const std::string& data, const std::string& name);
// Decodes it at display size: the result is exactly size.width x size.height. Shrinking
// averages and enlarging interpolates; the size check applies to what is actually decoded.
// A stop requested through `stop` ends the work early with PictureCancelled.
[[nodiscard]] Bitmap decodePictureAt(const std::string& extension, const std::string& data, const std::string& name,
                                     const DisplaySize& size, std::stop_token stop = {});

// The same for a file (`path` in native bytes): only regular files are read, and opening
// never blocks. Errors name the file.
[[nodiscard]] Bitmap loadPicture(const std::string& path);
[[nodiscard]] Bitmap loadPictureAt(const std::string& path, const DisplaySize& size, std::stop_token stop = {});

} // namespace lmvo
