#pragma once

// The one entry for decoding pictures, for every format: chosen by the file's extension (no
// content sniffing: a PNG named .jpg fails clearly), each decoder checking the declared size
// and cost before its first pixel. The program decodes only inside the decoder process
// (decoder/), which runs this.

#include "picture/DisplaySize.h"
#include "picture/PictureError.h"
#include "picture/PictureFormat.h"
#include "raster/Bitmap.h"

#include <stop_token>
#include <string>

namespace lmvo {

// Decodes an image file held in memory at its full size, by its extension (without the dot).
// Throws PictureError naming `name`.
[[nodiscard]] Bitmap decodePicture(const std::string& extension, const std::string& data, const std::string& name);
// Decodes it at display size: the result is exactly size.width x size.height. Shrinking
// averages and enlarging interpolates; the size check applies to what is actually decoded.
// A stop requested through `stop` ends the work early with PictureCancelled.
[[nodiscard]] Bitmap decodePictureAt(const std::string& extension, const std::string& data, const std::string& name,
                                     const DisplaySize& size, std::stop_token stop = {});

// Starts the libraries the decoders share (libvips and its modules), as a process that is
// about to limit what it may open does first. Throws PictureError.
void startPictureLibraries();

} // namespace lmvo
