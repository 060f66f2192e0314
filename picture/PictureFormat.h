#pragma once

// The formats the loader knows, chosen by a file's extension alone (no content sniffing: a PNG
// named .jpg fails clearly). Qt-free apart from the error type, so that the decoder process's
// client can refuse a file by its name before it opens it.

#include <cstdint>
#include <string>

namespace lmvo {

enum class PictureFormat : std::uint8_t { Jpeg, Png, Gif, Tiff, Webp, Heif, Jxl, Bmp, Ico, Emf, Wmf, Unknown };

// The format an extension (without its dot, any ASCII case) names; Unknown for none.
[[nodiscard]] PictureFormat pictureFormatOf(const std::string& extension);

// Whether `extension` names a format the loader reads.
[[nodiscard]] bool isPictureExtension(const std::string& extension);

// The format of `extension` when pictures of it can be shown. Throws PictureError naming
// `name` for an unknown extension or a metafile.
PictureFormat showableFormat(const std::string& extension, const std::string& name);

} // namespace lmvo
