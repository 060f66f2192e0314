#include "picture/PictureFormat.h"

#include "base/Ascii.h"
#include "picture/PictureError.h"

#include <array>
#include <string_view>

namespace lmvo {
namespace {

struct FormatEntry {
    std::string_view extension; // lower case, without the dot
    PictureFormat format;
};
constexpr std::array<FormatEntry, 15> kFormats{{
    {"jpeg", PictureFormat::Jpeg},
    {"jpg", PictureFormat::Jpeg},
    {"png", PictureFormat::Png},
    {"gif", PictureFormat::Gif},
    {"tif", PictureFormat::Tiff},
    {"tiff", PictureFormat::Tiff},
    {"webp", PictureFormat::Webp},
    {"heic", PictureFormat::Heif},
    {"heif", PictureFormat::Heif},
    {"avif", PictureFormat::Heif},
    {"jxl", PictureFormat::Jxl},
    {"bmp", PictureFormat::Bmp},
    {"ico", PictureFormat::Ico},
    {"emf", PictureFormat::Emf},
    {"wmf", PictureFormat::Wmf},
}};

[[noreturn]] void failMetafile(const char* kind, const std::string& name)
{
    throw PictureError(std::string(kind) + " metafiles cannot be shown: there is no metafile renderer on this platform",
                       PictureProblem::Unsupported)
        .about(name);
}

} // namespace

PictureFormat pictureFormatOf(const std::string& extension)
{
    const std::string lower = asciiLower(extension);
    for (const FormatEntry& e : kFormats)
        if (e.extension == lower)
            return e.format;
    return PictureFormat::Unknown;
}

bool isPictureExtension(const std::string& extension)
{
    return pictureFormatOf(extension) != PictureFormat::Unknown;
}

PictureFormat showableFormat(const std::string& extension, const std::string& name)
{
    const PictureFormat format = pictureFormatOf(extension);
    if (format == PictureFormat::Unknown)
        throw PictureError("Unknown picture file extension (." + extension + ")", PictureProblem::UnknownType).about(name);
    if (format == PictureFormat::Emf)
        failMetafile("EMF", name);
    if (format == PictureFormat::Wmf)
        failMetafile("WMF", name);
    return format;
}

} // namespace lmvo
