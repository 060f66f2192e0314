#include "raster/Region.h"
#include "transition/BitmapImage.h"

#include <lumivo/FrameCanvas.h>

#include <vector>

namespace lmvo {

int FrameCanvas::width() const { return bitmap_.width(); }
int FrameCanvas::height() const { return bitmap_.height(); }
QImage FrameCanvas::image() { return writableImageOf(bitmap_); }
void FrameCanvas::removeClip() { bitmap_.removeClip(); }

void FrameCanvas::intersectClip(const QRegion& region)
{
    std::vector<Rect> rects;
    rects.reserve(std::size_t(region.rectCount()));
    for (const QRect& r : region)
        rects.push_back(Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
    bitmap_.intersectClip(Region::fromRects(rects));
}

} // namespace lmvo
