#include "transition/Picture.h"

#include "transition/JpegDecoder.h"

#include "base/Ascii.h"
#include "base/UniqueFd.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <array>
#include <cerrno>
#include <fstream>
#include <new>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {
namespace {

enum class Format { Jpeg, Bmp, Ico, Emf, Wmf, Unknown };

struct FormatEntry {
    std::string_view extension; // lower case, without the dot
    Format format;
};
constexpr std::array<FormatEntry, 6> kFormats{{
    {"bmp", Format::Bmp},
    {"ico", Format::Ico},
    {"emf", Format::Emf},
    {"wmf", Format::Wmf},
    {"jpeg", Format::Jpeg},
    {"jpg", Format::Jpeg},
}};

Format formatOf(const std::string& extension)
{
    const std::string lower = asciiLower(extension);
    for (const FormatEntry& e : kFormats)
        if (e.extension == lower)
            return e.format;
    return Format::Unknown;
}

// The part after the last dot of the last path component, as written.
std::string extensionOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return {};
    return path.substr(dot + 1);
}

[[noreturn]] void failUnknownExtension(const std::string& extension)
{
    throw PictureError("Unknown picture file extension (." + extension + ")");
}

// Runs one stage of a load and names the file in whatever goes wrong. A failed allocation is
// a reason like any other, never a crash.
template <typename Stage>
auto namingFailures(const std::string& name, Stage&& stage)
{
    const auto fail = [&name](const std::string& reason) {
        return PictureError("Cannot load the picture \"" + name + "\": " + reason);
    };
    try {
        return stage();
    } catch (const PictureError& e) {
        throw fail(e.what());
    } catch (const std::bad_alloc&) {
        throw fail("not enough memory");
    }
}

std::string systemMessage(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

// The bytes the system says it could still hand out, or 0 when it does not say.
std::uint64_t availableMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key, unit;
    std::uint64_t kib = 0;
    while (meminfo >> key >> kib) {
        if (key == "MemAvailable:")
            return kib * 1024;
        std::getline(meminfo, unit);
    }
    return 0;
}

void refuseUnlessRegular(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return;
    throw PictureError(S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is not a regular file");
}

// Opening does not wait (a FIFO or a device with a picture's name would block for ever), and
// only regular files are read.
std::string readRegularFile(const std::string& path)
{
    if (path.find('\0') != std::string::npos)
        throw PictureError("the file name contains a NUL byte");
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        throw PictureError(systemMessage(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw PictureError(systemMessage(errno));
    refuseUnlessRegular(st);
    const std::uint64_t memory = availableMemory();
    if (memory != 0 && std::uint64_t(st.st_size) > memory / 2)
        throw PictureError("the file is too large for the memory available");

    std::string data(std::size_t(st.st_size), '\0');
    std::size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw PictureError(systemMessage(errno));
        if (n == 0)
            break; // the file shrank meanwhile: decode what is there
        got += std::size_t(n);
    }
    data.resize(got);
    return data;
}

// Transparent parts are shown over black, the colour of a new bitmap.
Bitmap bitmapOf(const QImage& image)
{
    const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (premultiplied.isNull())
        throw std::bad_alloc();
    Bitmap bitmap(premultiplied.width(), premultiplied.height());
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y));
        std::uint32_t* dst = bitmap.scanLine(y);
        for (std::int32_t x = 0; x < bitmap.width(); ++x)
            dst[x] = pixelOf(src[x]);
    }
    return bitmap;
}

Bitmap decodeWithQt(const std::string& data, const char* format)
{
    QByteArray bytes = QByteArray::fromRawData(data.data(), qsizetype(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // The extension decides: content in another format is not this picture.
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (size.isValid()) {
        checkPictureSize(size.width(), size.height());
        // Our own check has passed; Qt's smaller default limit must not refuse it again.
        reader.setAllocationLimit(int(std::int64_t(size.width()) * size.height() * 4 / (1024 * 1024) + 1));
    }
    QImage image;
    if (!reader.read(&image))
        throw PictureError(reader.errorString().toStdString());
    checkPictureSize(image.width(), image.height());
    return bitmapOf(image);
}

[[noreturn]] void failMetafile(const char* kind)
{
    throw PictureError(std::string(kind) + " metafiles cannot be shown: there is no metafile renderer on this platform");
}

Bitmap decodeAs(Format format, const std::string& data)
{
    switch (format) {
    case Format::Jpeg: return decodeJpeg(data);
    case Format::Bmp: return decodeWithQt(data, "bmp");
    case Format::Ico: return decodeWithQt(data, "ico");
    case Format::Emf: failMetafile("EMF");
    case Format::Wmf: failMetafile("WMF");
    case Format::Unknown: break;
    }
    throw PictureError("unknown picture format");
}

void refuseMetafile(Format format)
{
    if (format == Format::Emf)
        failMetafile("EMF");
    if (format == Format::Wmf)
        failMetafile("WMF");
}

} // namespace

void checkPictureSize(std::int64_t width, std::int64_t height, std::optional<std::uint64_t> available)
{
    constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width <= 0 || height <= 0)
        throw PictureError("the picture has no pixels (" + size + ")");
    if (width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
        throw PictureError("the picture is too large (" + size + "; at most " + std::to_string(kMaxPixels) +
                           " pixels can be shown)");
    // A transition holds four picture-sized buffers of 4 bytes a pixel. Linux overcommits, so
    // asking for them and failing late would end the process instead of reporting an error.
    const std::uint64_t needed = std::uint64_t(width * height) * 4 * 4;
    if (available && needed > *available / 2)
        throw PictureError("not enough memory to show a picture of " + size + " (" +
                           std::to_string(needed >> 20) + " MB needed, " + std::to_string(*available >> 20) +
                           " MB available)");
}

void checkPictureSize(std::int64_t width, std::int64_t height)
{
    const std::uint64_t memory = availableMemory();
    checkPictureSize(width, height, memory ? std::optional(memory) : std::nullopt);
}

Bitmap decodePicture(const std::string& extension, const std::string& data, const std::string& name)
{
    const Format format = formatOf(extension);
    if (format == Format::Unknown)
        failUnknownExtension(extension);
    return namingFailures(name, [&] { return decodeAs(format, data); });
}

void TPicture::LoadFromFile(const std::string& path)
{
    const std::string extension = extensionOf(path);
    const Format format = formatOf(extension);
    if (format == Format::Unknown)
        failUnknownExtension(extension);
    auto graphic = namingFailures(path, [&] {
        refuseMetafile(format);
        return std::make_shared<const Bitmap>(decodeAs(format, readRegularFile(path)));
    });
    graphic_ = std::move(graphic);
    changed();
}

void TPicture::Assign(const TPicture* other)
{
    graphic_ = other ? other->graphic_ : nullptr;
    changed();
}

void TPicture::setGraphic(Bitmap&& bitmap)
{
    graphic_ = std::make_shared<const Bitmap>(std::move(bitmap));
    changed();
}

void TPicture::clear()
{
    graphic_.reset();
    changed();
}

void TPicture::changed()
{
    if (onChange_)
        onChange_();
}

} // namespace lmvo
