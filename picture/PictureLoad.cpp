#include "picture/PictureLoad.h"

#include "base/Ascii.h"
#include "picture/JpegDecoder.h"
#include "picture/JxlDecoder.h"
#include "picture/PictureFile.h"
#include "picture/PictureSize.h"
#include "picture/QtDecoder.h"
#include "picture/VipsDecoder.h"

#include <array>
#include <new>
#include <optional>
#include <string_view>

namespace lmvo {
namespace {

enum class Format { Jpeg, Png, Gif, Tiff, Webp, Heif, Jxl, Bmp, Ico, Emf, Wmf, Unknown };

struct FormatEntry {
    std::string_view extension; // lower case, without the dot
    Format format;
};
constexpr std::array<FormatEntry, 15> kFormats{{
    {"jpeg", Format::Jpeg},
    {"jpg", Format::Jpeg},
    {"png", Format::Png},
    {"gif", Format::Gif},
    {"tif", Format::Tiff},
    {"tiff", Format::Tiff},
    {"webp", Format::Webp},
    {"heic", Format::Heif},
    {"heif", Format::Heif},
    {"avif", Format::Heif},
    {"jxl", Format::Jxl},
    {"bmp", Format::Bmp},
    {"ico", Format::Ico},
    {"emf", Format::Emf},
    {"wmf", Format::Wmf},
}};

Format formatOf(const std::string& extension)
{
    const std::string lower = asciiLower(extension);
    for (const FormatEntry& e : kFormats)
        if (e.extension == lower)
            return e.format;
    return Format::Unknown;
}

[[noreturn]] void failUnknownExtension(const std::string& extension, const std::string& name)
{
    throw PictureError("Unknown picture file extension (." + extension + ")", PictureProblem::UnknownType).about(name);
}

// Runs one stage of a load and names the file in whatever goes wrong, and the format its
// extension promised when the decoder does not say. A failed allocation is a reason like any
// other, never a crash.
template <typename Stage>
auto namingFailures(const std::string& name, const std::string& extension, Stage&& stage)
{
    try {
        return stage();
    } catch (const PictureError& e) {
        throw e.about(name, asciiUpper(extension));
    } catch (const std::bad_alloc&) {
        throw PictureError({}, PictureProblem::NoMemory).about(name);
    }
}

[[noreturn]] void failMetafile(const char* kind)
{
    throw PictureError(std::string(kind) + " metafiles cannot be shown: there is no metafile renderer on this platform",
                       PictureProblem::Unsupported);
}

void refuseMetafile(Format format)
{
    if (format == Format::Emf)
        failMetafile("EMF");
    if (format == Format::Wmf)
        failMetafile("WMF");
}

// The formats libvips reads (JPEG only at display size: at full size libjpeg's pixels are
// the exact ones).
std::optional<VipsFormat> vipsFormatOf(Format format)
{
    switch (format) {
    case Format::Jpeg: return VipsFormat::Jpeg;
    case Format::Png: return VipsFormat::Png;
    case Format::Gif: return VipsFormat::Gif;
    case Format::Tiff: return VipsFormat::Tiff;
    case Format::Webp: return VipsFormat::Webp;
    case Format::Heif: return VipsFormat::Heif;
    default: return std::nullopt;
    }
}

Bitmap decodeAs(Format format, const std::string& data, std::stop_token stop = {})
{
    switch (format) {
    case Format::Jpeg: return decodeJpeg(data);
    case Format::Jxl: return decodeJxl(data, stop);
    case Format::Bmp: return decodeWithQt(data, "bmp");
    case Format::Ico: return decodeWithQt(data, "ico");
    case Format::Emf: failMetafile("EMF");
    case Format::Wmf: failMetafile("WMF");
    case Format::Unknown: break;
    default: return decodeWithVips(data, *vipsFormatOf(format), stop);
    }
    throw PictureError("unknown picture format", PictureProblem::UnknownType);
}

Format knownFormat(const std::string& extension, const std::string& name)
{
    const Format format = formatOf(extension);
    if (format == Format::Unknown)
        failUnknownExtension(extension, name);
    return format;
}

void checkTarget(const DisplaySize& size)
{
    if (size.width <= 0 || size.height <= 0)
        throw PictureError("there is no room to show the picture in (" + std::to_string(size.width) + " x " +
                               std::to_string(size.height) + " pixels)",
                           PictureProblem::NotShown);
}

Bitmap decodeAtAs(Format format, const std::string& data, const DisplaySize& size, std::stop_token stop)
{
    checkTarget(size);
    if (format == Format::Jpeg)
        checkJpegScans(data);
    if (const auto vips = vipsFormatOf(format))
        return decodeWithVipsAt(data, *vips, size, stop);
    const Bitmap full = decodeAs(format, data, stop);
    if (stop.stop_requested())
        throw PictureCancelled();
    return resampledWithVips(full, size, stop);
}

} // namespace

bool isPictureExtension(const std::string& extension)
{
    return formatOf(extension) != Format::Unknown;
}

Bitmap decodePicture(const std::string& extension, const std::string& data, const std::string& name)
{
    const Format format = knownFormat(extension, name);
    return namingFailures(name, extension, [&] { return decodeAs(format, data); });
}

Bitmap decodePictureAt(const std::string& extension, const std::string& data, const std::string& name,
                       const DisplaySize& size, std::stop_token stop)
{
    const Format format = knownFormat(extension, name);
    return namingFailures(name, extension, [&] { return decodeAtAs(format, data, size, stop); });
}

Bitmap loadPicture(const std::string& path)
{
    const std::string extension = extensionOf(path);
    const Format format = knownFormat(extension, path);
    return namingFailures(path, extension, [&] {
        refuseMetafile(format);
        return decodeAs(format, readPictureFile(path));
    });
}

Bitmap loadPictureAt(const std::string& path, const DisplaySize& size, std::stop_token stop)
{
    const std::string extension = extensionOf(path);
    const Format format = knownFormat(extension, path);
    return namingFailures(path, extension, [&] {
        refuseMetafile(format);
        checkTarget(size);
        return decodeAtAs(format, readPictureFile(path), size, stop);
    });
}

} // namespace lmvo
