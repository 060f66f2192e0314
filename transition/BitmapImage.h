#pragma once

#include "raster/Bitmap.h"

#include <QImage>

namespace lmvo {

// The one bridge from our bitmaps to Qt: the bitmap's rows seen as an RGB32 image, whose
// layout they already have, without copying a pixel. The image only borrows them, so the
// bitmap must outlive it and keep its size; Qt copies before anything writes to the image.
[[nodiscard]] inline QImage imageOf(const Bitmap& b)
{
    return QImage(reinterpret_cast<const uchar*>(b.bits()), b.width(), b.height(), qsizetype(b.width()) * 4,
                  QImage::Format_RGB32);
}

} // namespace lmvo
