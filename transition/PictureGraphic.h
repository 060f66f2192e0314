#pragma once

// The picture container's graphic as the control's inside sees it: a bitmap of the 2D layer.
// Not installed.

#include "raster/Bitmap.h"

#include <lumivo/Picture.h>

#include <memory>

namespace lmvo {

class PictureGraphic {
public:
    [[nodiscard]] static const std::shared_ptr<const Bitmap>& of(const TPicture& p) { return p.graphic_; }
    // Replaces the graphic by a ready bitmap, then notifies.
    static void set(TPicture& p, Bitmap&& bitmap);
};

[[nodiscard]] inline const std::shared_ptr<const Bitmap>& graphicOf(const TPicture& p) { return PictureGraphic::of(p); }
inline void setGraphic(TPicture& p, Bitmap&& bitmap) { PictureGraphic::set(p, std::move(bitmap)); }

} // namespace lmvo
