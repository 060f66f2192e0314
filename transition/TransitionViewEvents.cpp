// Window events: resizing, the mouse entering and leaving, and following the parent's client
// area when aligned to it.
#include "transition/TransitionView.h"

#include <QEnterEvent>

namespace lmvo {

void TTransitionView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!picture_.hasGraphic())
        return;
    CalcPictureRect();
    if (!displayBitmap_->isEmpty() && !drawing_)
        update();
}

void TTransitionView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    fireFromQt(OnMouseEnter);
}

void TTransitionView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    fireFromQt(OnMouseLeave);
}

bool TTransitionView::event(QEvent* event)
{
    if (align_ == TAlign::alClient) {
        if (event->type() == QEvent::ParentAboutToChange && parentWidget())
            parentWidget()->removeEventFilter(this);
        if (event->type() == QEvent::ParentChange && parentWidget()) {
            parentWidget()->installEventFilter(this);
            fitToParent();
        }
    }
    return QWidget::event(event);
}

bool TTransitionView::eventFilter(QObject* watched, QEvent* event)
{
    if (align_ == TAlign::alClient && watched == parentWidget() && event->type() == QEvent::Resize)
        fitToParent();
    return QWidget::eventFilter(watched, event);
}

} // namespace lmvo
