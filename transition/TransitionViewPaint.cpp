// Painting: the client area composed into the paint buffer and put on screen, and the
// invalidation of what a frame changed, mapped from the picture to the client area.
#include "transition/TransitionViewPrivate.h"

#include "raster/Draw.h"
#include "raster/MulDiv.h"
#include "transition/BitmapImage.h"
#include "transition/PictureGraphic.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lmvo {

void TTransitionViewPrivate::Paint()
{
    const Rect r = ClientRect();
    paintBuffer_.setWidth(r.width());
    paintBuffer_.setHeight(r.height());
    paintBuffer_.fillRect(r, color_);

    if (const auto& g = graphicOf(bgPicture_)) {
        switch (bgMode_) {
        case TTransitionView::TBackgroundMode::bmTiled:
            TileDraw(paintBuffer_, r, g.get());
            break;
        case TTransitionView::TBackgroundMode::bmStretched:
            paintBuffer_.stretchDraw(r, *g);
            break;
        case TTransitionView::TBackgroundMode::bmCentered:
            paintBuffer_.draw(half(r.width() - g->width()), half(r.height() - g->height()), *g);
            break;
        case TTransitionView::TBackgroundMode::bmNone:
            break;
        }
    }

    const Bitmap& display = *displayBitmap_;
    if (display.isEmpty())
        return;
    if (!stretch_)
        paintBuffer_.draw(picRect_.left, picRect_.top, display);
    else if (stretchFine_)
        paintBuffer_.stretchDraw(FitRect(picRect_, r), display);
    else
        paintBuffer_.stretchDraw(r, display);
}

void TTransitionViewPrivate::paintEvent()
{
    if (drawing_)
        return;
    drawing_ = true;
    try {
        Paint();
        if (!paintBuffer_.isEmpty()) {
            QImage image = imageOf(paintBuffer_);
            image.setDevicePixelRatio(ratio());
            QPainter painter(&q);
            painter.drawImage(QPointF(0, 0), image);
        }
    } catch (...) {
        warnCurrentFailure("Painting the picture view failed");
    }
    drawing_ = false;
    // Last: a slot may destroy the control.
    emit q.painted();
}

void TTransitionViewPrivate::invalidateWhole() { InvalidateArea(displayBitmap_->bounds()); }

Rect TTransitionViewPrivate::AreaToClient(Rect a) const
{
    if (stretch_) {
        const Rect client = ClientRect();
        if (picRect_.isEmpty())
            return client;
        const Rect t = stretchFine_ ? FitRect(picRect_, client) : client;
        const std::int32_t pw = picRect_.width();
        const std::int32_t ph = picRect_.height();
        return Rect{t.left + MulDiv(a.left, t.width(), pw), t.top + MulDiv(a.top, t.height(), ph),
                    t.left + MulDiv(a.right, t.width(), pw), t.top + MulDiv(a.bottom, t.height(), ph)};
    }
    if (center_)
        a.offset(picRect_.left, picRect_.top);
    a.left = std::max(a.left, picRect_.left);
    a.top = std::max(a.top, picRect_.top);
    a.right = std::min(a.right, picRect_.right);
    a.bottom = std::min(a.bottom, picRect_.bottom);
    return a;
}

QRect TTransitionViewPrivate::toLogical(const Rect& d, qreal ratio, bool widen)
{
    int left = int(std::floor(d.left / ratio));
    int top = int(std::floor(d.top / ratio));
    int right = int(std::ceil(d.right / ratio));
    int bottom = int(std::ceil(d.bottom / ratio));
    if (widen) {
        // Nearest-pixel stretching may touch one pixel beyond the mapped edges.
        --left;
        --top;
        ++right;
        ++bottom;
    }
    return QRect(left, top, right - left, bottom - top);
}

void TTransitionViewPrivate::InvalidateArea(const Rect& area)
{
    if (destroying_)
        return;
    const Rect a = AreaToClient(area);
    if (a.isEmpty())
        return;
    q.update(toLogical(a, ratio(), stretch_));
}

} // namespace lmvo
