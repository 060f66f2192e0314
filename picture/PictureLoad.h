#pragma once

// The one entry for loading pictures, for every format: chosen by the file's extension (no
// content sniffing: a PNG named .jpg fails clearly), each decoder checking the declared size
// before its first pixel.

#include "picture/PictureError.h"
#include "raster/Bitmap.h"

#include <cstdint>
#include <stop_token>
#include <string>

namespace lmvo {

// How a picture meets the size it is shown at.
enum class FitMode : std::uint8_t {
    Stretch,   // over the whole target; proportions are not kept
    FitInside, // as large as fits with its proportions kept, centred on black
};

// The size in device pixels a picture is shown at, and how it is fitted into it.
struct DisplaySize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    FitMode fit = FitMode::Stretch;
    bool operator==(const DisplaySize&) const = default;
};

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
