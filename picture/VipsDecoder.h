#pragma once

// Pictures read and resampled by libvips: the formats it decodes for us at full size, and the
// load of every format at the size it is shown.

#include "picture/DisplaySize.h"
#include "raster/Bitmap.h"

#include <cstdint>
#include <stop_token>
#include <string>

namespace lmvo {

// The formats libvips reads here, each through its own loader: content in another format
// fails with that loader's message instead of being recognised and read as what it is.
enum class VipsFormat : std::uint8_t { Jpeg, Png, Gif, Tiff, Webp, Heif };

// Starts libvips (and loads its modules) once for the whole process. Throws PictureError.
void startVips();

// Decodes a file held in memory at its full size: the first frame or page only (for HEIF the
// primary image), upright, converted from its embedded colour profile to sRGB and with
// transparent parts over black. The declared size is checked before any pixel is decoded.
// Throws PictureError with libvips' reason (without the file name); a stop requested through
// `stop` ends the work early with PictureCancelled.
[[nodiscard]] Bitmap decodeWithVips(const std::string& data, VipsFormat format, std::stop_token stop = {});

// Decodes it at exactly size.width x size.height (the target compared with the upright
// picture). JPEG and WebP are decoded already shrunk where that still covers the target and
// the size check applies to what is decoded; the rest is decoded at full size, checked at
// full size, and resampled once: shrinking averages, enlarging interpolates.
[[nodiscard]] Bitmap decodeWithVipsAt(const std::string& data, VipsFormat format, const DisplaySize& size,
                                      std::stop_token stop = {});

// A picture decoded elsewhere, resampled to the display size the same way.
[[nodiscard]] Bitmap resampledWithVips(const Bitmap& picture, const DisplaySize& size, std::stop_token stop = {});

} // namespace lmvo
