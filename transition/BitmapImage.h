#pragma once

#include "raster/Bitmap.h"

#include <QImage>
#include <QPainter>

#include <memory>

namespace lmvo {

// The one bridge between our bitmaps and Qt's images. A bitmap's rows have the layout of an
// RGB32 image already, so no pixel is copied either way.

// The bitmap's rows seen as an RGB32 image. The image only borrows them, so the bitmap must
// outlive it and keep its size; Qt copies before anything writes to the image.
[[nodiscard]] inline QImage imageOf(const Bitmap& b)
{
    return QImage(reinterpret_cast<const uchar*>(b.bits()), b.width(), b.height(), qsizetype(b.width()) * 4,
                  QImage::Format_RGB32);
}

// The same for drawing: a painter on the image draws straight into the bitmap, as long as
// nobody holds a copy of the image (a shared image is copied before it is written).
[[nodiscard]] inline QImage writableImageOf(Bitmap& b)
{
    return QImage(reinterpret_cast<uchar*>(b.bits()), b.width(), b.height(), qsizetype(b.width()) * 4,
                  QImage::Format_RGB32);
}

// An image as a read-only bitmap that shares its rows (an RGB32 image without padding, which
// is what every decoder here makes); any other image is first converted, with transparency
// composed over black.
[[nodiscard]] inline Bitmap bitmapOfImage(const QImage& image)
{
    if (image.isNull())
        return Bitmap();
    QImage rgb;
    if (image.hasAlphaChannel()) {
        rgb = QImage(image.size(), QImage::Format_RGB32);
        rgb.fill(Qt::black);
        QPainter(&rgb).drawImage(0, 0, image);
    } else {
        rgb = image.convertToFormat(QImage::Format_RGB32);
    }
    if (rgb.bytesPerLine() != qsizetype(rgb.width()) * 4)
        rgb = rgb.copy(); // a copy has no padding
    const int width = rgb.width();
    const int height = rgb.height();
    auto owner = std::make_shared<const QImage>(std::move(rgb));
    const auto* rows = reinterpret_cast<const std::uint32_t*>(owner->constBits());
    return Bitmap::wrap(width, height, rows, std::move(owner));
}

// Hands a bitmap's rows over to an image, which frees them with its last copy.
[[nodiscard]] inline QImage imageTaking(Bitmap&& b)
{
    if (b.isEmpty())
        return QImage();
    // Qt's cleanup callback takes a plain pointer: the bitmap is owned by the image from here.
    auto owned = std::make_unique<Bitmap>(std::move(b));
    Bitmap& kept = *owned;
    return QImage(
        reinterpret_cast<uchar*>(kept.bits()), kept.width(), kept.height(), qsizetype(kept.width()) * 4,
        QImage::Format_RGB32, [](void* p) { std::unique_ptr<Bitmap>(static_cast<Bitmap*>(p)); }, owned.release());
}

} // namespace lmvo
