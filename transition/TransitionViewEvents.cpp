// Window events: resizing, and following the parent's client area when aligned to it.
#include "transition/TransitionViewPrivate.h"

#include <QEvent>

namespace lmvo {

void TTransitionViewPrivate::resizeEvent()
{
    if (!picture_.hasGraphic())
        return;
    CalcPictureRect();
    if (!displayBitmap_->isEmpty() && !drawing_)
        q.update();
}

void TTransitionViewPrivate::event(QEvent* event)
{
    if (align_ != TTransitionView::TAlign::alClient)
        return;
    if (event->type() == QEvent::ParentAboutToChange && q.parentWidget())
        q.parentWidget()->removeEventFilter(&q);
    if (event->type() == QEvent::ParentChange && q.parentWidget()) {
        q.parentWidget()->installEventFilter(&q);
        fitToParent();
    }
}

void TTransitionViewPrivate::eventFilter(QObject* watched, QEvent* event)
{
    if (align_ == TTransitionView::TAlign::alClient && watched == q.parentWidget() && event->type() == QEvent::Resize)
        fitToParent();
}

} // namespace lmvo
