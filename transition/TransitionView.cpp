// The control's life, its properties and the geometry of its picture. The rest of the class
// lives beside this file, one concern a file: TransitionViewExecute.cpp (a transition from
// Execute to its end), TransitionViewInline.cpp (the in-line loop), TransitionViewWorker.cpp
// (the hand-over to the worker thread), TransitionViewPaint.cpp (painting and invalidation),
// TransitionViewEvents.cpp (window events).
#include "transition/TransitionView.h"

#include "raster/MulDiv.h"
#include "transition/TransitionViewDetail.h"

#include <algorithm>

namespace lmvo {

// ---------------------------------------------------------------- life

TTransitionView::TTransitionView(QWidget* parent)
    : QWidget(parent), displayBitmap_(std::make_shared<Bitmap>())
{
    // Paint composes the whole client area, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    color_ = palette().color(QPalette::Window).rgb() & 0xFFFFFFu;
    picture_.setOnChange([this] { PictureChanged(); });
    bgPicture_.setOnChange([this] { BgPictureChanged(); });
    resize(100, 100);
}

TTransitionView::~TTransitionView()
{
    destroying_ = true;
    ++generation_;
    ++drive_;
    endAllWorkers();
}

// ---------------------------------------------------------------- properties

void TTransitionView::SetAutoSize(bool value)
{
    if (value == autoSize_)
        return;
    autoSize_ = value;
    if (value)
        AdjustClientSize();
}

void TTransitionView::SetBgMode(TBackgroundMode value)
{
    if (value == bgMode_)
        return;
    bgMode_ = value;
    if (bgPicture_.hasGraphic() && !drawing_)
        update();
}

void TTransitionView::SetCenter(bool value)
{
    if (value == center_)
        return;
    center_ = value;
    if (!picture_.hasGraphic())
        return;
    CalcPictureRect();
    if (!displayBitmap_->isEmpty() && !drawing_)
        update();
}

void TTransitionView::SetStretch(bool value)
{
    if (value == stretch_)
        return;
    stretch_ = value;
    if (!displayBitmap_->isEmpty() && !drawing_)
        update();
}

void TTransitionView::SetStretchFine(bool value)
{
    if (value == stretchFine_)
        return;
    stretchFine_ = value;
    if (!displayBitmap_->isEmpty() && !drawing_)
        update();
}

void TTransitionView::SetStep(int value) { step_ = std::uint16_t(std::clamp(value, 1, 100)); }

void TTransitionView::SetAlign(TAlign value)
{
    if (value == align_)
        return;
    QWidget* parent = parentWidget();
    if (align_ == TAlign::alClient && parent)
        parent->removeEventFilter(this);
    align_ = value;
    if (align_ == TAlign::alClient && parent) {
        parent->installEventFilter(this);
        fitToParent();
    }
}

void TTransitionView::SetColor(lmvo::Color value)
{
    value &= 0xFFFFFFu;
    if (value == color_)
        return;
    color_ = value;
    if (!drawing_)
        update();
}

void TTransitionView::SetManual(bool value)
{
    if (value == manual_)
        return;
    manual_ = value;
    if (!busy_) {
        progress_ = reverse_ ? 100 : 0;
        return;
    }
    if (value) {
        // The worker would notice at its next step; waking it now ends its sleep early.
        if (thread_)
            thread_->channel()->raiseAbort();
        return;
    }
    TransitionGuard guard(*this);
    Animate();
}

// ---------------------------------------------------------------- pictures and geometry

void TTransitionView::PictureChanged()
{
    if (destroying_)
        return;
    if (picture_.hasGraphic() && autoSize_)
        AdjustClientSize();
    fire(OnChange);
}

void TTransitionView::BgPictureChanged()
{
    if (bgMode_ != TBackgroundMode::bmNone && !drawing_ && !destroying_)
        update();
}

void TTransitionView::AdjustClientSize()
{
    if (!picture_.hasGraphic() || align_ != TAlign::alNone)
        return;
    const qreal r = ratio();
    resize(qRound(picture_.width() / r), qRound(picture_.height() / r));
}

void TTransitionView::CalcPictureRect()
{
    const Bitmap& display = *displayBitmap_;
    if (display.isEmpty())
        return;
    picRect_ = rectOfSize(display.width(), display.height());
    if (center_) {
        const Rect client = ClientRect();
        picRect_.offset(half(client.width() - display.width()), half(client.height() - display.height()));
    }
}

qreal TTransitionView::ratio() const { return devicePixelRatioF(); }

Rect TTransitionView::ClientRect() const
{
    const qreal r = ratio();
    return rectOfSize(qRound(width() * r), qRound(height() * r));
}

void TTransitionView::fitToParent()
{
    if (QWidget* parent = parentWidget())
        setGeometry(parent->contentsRect());
}

} // namespace lmvo
