// The control's life, its properties and the geometry of its picture. The rest of the class
// lives beside this file, one concern a file: TransitionViewApi.cpp (the public face),
// TransitionViewExecute.cpp (a transition from Execute to its end), TransitionViewInline.cpp
// (the in-line loop), TransitionViewWorker.cpp (the hand-over to the worker thread),
// TransitionViewPaint.cpp (painting and invalidation), TransitionViewEvents.cpp (window
// events).
#include "transition/TransitionViewPrivate.h"

#include "raster/MulDiv.h"

#include <QtDebug>

#include <algorithm>

namespace lmvo {

// ---------------------------------------------------------------- life

TTransitionView::TTransitionView(QWidget* parent)
    : QWidget(parent), d_(std::make_unique<TTransitionViewPrivate>(*this))
{
    // Paint composes the whole client area, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    d_->color_ = palette().color(QPalette::Window).rgb() & 0xFFFFFFu;
    d_->picture_.setOnChange([d = d_.get()] { d->PictureChanged(); });
    d_->bgPicture_.setOnChange([d = d_.get()] { d->BgPictureChanged(); });
    resize(100, 100);
}

TTransitionView::~TTransitionView()
{
    d_->destroying_ = true;
    ++d_->generation_;
    ++d_->drive_;
    d_->endAllWorkers();
}

TTransitionViewPrivate::TTransitionViewPrivate(TTransitionView& view)
    : q(view), displayBitmap_(std::make_shared<Bitmap>())
{
}

void warnCurrentFailure(const char* what) noexcept
{
    try {
        throw;
    } catch (const std::exception& e) {
        qWarning("%s: %s", what, e.what());
    } catch (...) {
        qWarning("%s", what);
    }
}

// ---------------------------------------------------------------- properties

void TTransitionViewPrivate::SetAutoSize(bool value)
{
    if (value == autoSize_)
        return;
    autoSize_ = value;
    if (value)
        AdjustClientSize();
}

void TTransitionViewPrivate::SetBgMode(TTransitionView::TBackgroundMode value)
{
    if (value == bgMode_)
        return;
    bgMode_ = value;
    if (bgPicture_.hasGraphic() && !drawing_)
        q.update();
}

void TTransitionViewPrivate::SetCenter(bool value)
{
    if (value == center_)
        return;
    center_ = value;
    if (!picture_.hasGraphic())
        return;
    CalcPictureRect();
    if (!displayBitmap_->isEmpty() && !drawing_)
        q.update();
}

void TTransitionViewPrivate::SetStretch(bool value)
{
    if (value == stretch_)
        return;
    stretch_ = value;
    if (!displayBitmap_->isEmpty() && !drawing_)
        q.update();
}

void TTransitionViewPrivate::SetStretchFine(bool value)
{
    if (value == stretchFine_)
        return;
    stretchFine_ = value;
    if (!displayBitmap_->isEmpty() && !drawing_)
        q.update();
}

void TTransitionViewPrivate::SetAlign(TTransitionView::TAlign value)
{
    if (value == align_)
        return;
    QWidget* parent = q.parentWidget();
    if (align_ == TTransitionView::TAlign::alClient && parent)
        parent->removeEventFilter(&q);
    align_ = value;
    if (align_ == TTransitionView::TAlign::alClient && parent) {
        parent->installEventFilter(&q);
        fitToParent();
    }
}

void TTransitionViewPrivate::SetColor(Color value)
{
    value &= 0xFFFFFFu;
    if (value == color_)
        return;
    color_ = value;
    if (!drawing_)
        q.update();
}

void TTransitionViewPrivate::SetManual(bool value)
{
    if (value == manual_)
        return;
    manual_ = value;
    if (!busy_) {
        const std::uint8_t start = reverse_ ? 100 : 0;
        if (start != progress_) {
            progress_ = start;
            emit q.progressChanged(progress_);
        }
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

void TTransitionViewPrivate::PictureChanged()
{
    if (destroying_)
        return;
    if (picture_.hasGraphic() && autoSize_)
        AdjustClientSize();
    QPointer<TTransitionView> self(&q);
    fire(q.OnChange);
    if (self)
        emit q.pictureChanged();
}

void TTransitionViewPrivate::BgPictureChanged()
{
    if (bgMode_ != TTransitionView::TBackgroundMode::bmNone && !drawing_ && !destroying_)
        q.update();
}

void TTransitionViewPrivate::AdjustClientSize()
{
    if (!picture_.hasGraphic() || align_ != TTransitionView::TAlign::alNone)
        return;
    const qreal r = ratio();
    q.resize(qRound(picture_.width() / r), qRound(picture_.height() / r));
}

void TTransitionViewPrivate::CalcPictureRect()
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

qreal TTransitionViewPrivate::ratio() const { return q.devicePixelRatioF(); }

Rect TTransitionViewPrivate::ClientRect() const
{
    const qreal r = ratio();
    return rectOfSize(qRound(q.width() * r), qRound(q.height() * r));
}

void TTransitionViewPrivate::fitToParent()
{
    if (QWidget* parent = q.parentWidget())
        q.setGeometry(parent->contentsRect());
}

} // namespace lmvo
