#include "picture/QtDecoder.h"

#include "picture/PictureError.h"
#include "picture/PictureSize.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <new>

namespace lmvo {

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
        throw PictureError(reader.errorString().toStdString(), PictureProblem::Damaged,
                           QByteArray(format).toUpper().toStdString());
    checkPictureSize(image.width(), image.height());
    return bitmapOf(image);
}

} // namespace lmvo
