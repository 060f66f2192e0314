#include "picture/PictureLoad.h"

#include "base/Ascii.h"
#include "picture/JpegDecoder.h"
#include "picture/JxlDecoder.h"
#include "picture/PictureFormat.h"
#include "picture/PictureSize.h"
#include "picture/QtDecoder.h"
#include "picture/VipsDecoder.h"
#include "picture/WebpHeader.h"

#include <new>
#include <optional>

namespace lmvo {
namespace {

using Format = PictureFormat;

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
    case Format::Emf:
    case Format::Wmf:
    case Format::Unknown: break;
    default: return decodeWithVips(data, *vipsFormatOf(format), stop);
    }
    throw PictureError("this kind of picture cannot be decoded", PictureProblem::Unsupported);
}

void checkTarget(const DisplaySize& size)
{
    checkDisplaySize(size.width, size.height);
}

Bitmap decodeAtAs(Format format, const std::string& data, const DisplaySize& size, std::stop_token stop)
{
    checkTarget(size);
    if (format == Format::Jpeg)
        checkJpegCost(data);
    if (format == Format::Webp)
        checkWebpCost(data);
    if (const auto vips = vipsFormatOf(format))
        return decodeWithVipsAt(data, *vips, size, stop);
    const Bitmap full = decodeAs(format, data, stop);
    if (stop.stop_requested())
        throw PictureCancelled();
    return resampledWithVips(full, size, stop);
}

} // namespace

void startPictureLibraries() { startVips(); }

Bitmap decodePicture(const std::string& extension, const std::string& data, const std::string& name)
{
    const Format format = showableFormat(extension, name);
    return namingFailures(name, extension, [&] { return decodeAs(format, data); });
}

Bitmap decodePictureAt(const std::string& extension, const std::string& data, const std::string& name,
                       const DisplaySize& size, std::stop_token stop)
{
    const Format format = showableFormat(extension, name);
    return namingFailures(name, extension, [&] { return decodeAtAs(format, data, size, stop); });
}

} // namespace lmvo
