#pragma once

#include "raster/Bitmap.h"
#include "raster/Rect.h"

namespace lmvo {

// The largest rectangle with the aspect ratio of `s` that fits in `b`, centred in `b`.
// `s` must have a non-zero width and height.
[[nodiscard]] Rect FitRect(const Rect& s, const Rect& b);

// Tiles `g` unscaled from the top-left corner of `r`, one more row and column than fit
// whole; tiles are not clipped to `r`, only to the canvas.
void TileDraw(Bitmap& canvas, const Rect& r, const Bitmap* g);

// Copies `s` of `source` (limited to the source bitmap) onto `d`, turned over along the
// named axes with the stretch-copy rules for negative extents.
void MirrorCopy(Bitmap& canvas, Rect d, const Bitmap& source, Rect s, bool flipHorizontally,
                bool flipVertically);

} // namespace lmvo
