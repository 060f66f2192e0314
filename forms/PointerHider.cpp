#include "forms/PointerHider.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QWindow>

namespace lmvo {

PointerHider::PointerHider(QWidget* window, int delayMs) : QObject(window), window_(window)
{
    timer_.setSingleShot(true);
    timer_.setInterval(delayMs);
    connect(&timer_, &QTimer::timeout, this, [this] { idle(); });
    window->installEventFilter(this);
    if (window->isVisible()) {
        watchSurface();
        hide();
    }
}

// The native surface exists once the window has been shown.
void PointerHider::watchSurface()
{
    if (surfaceWatched_ || !window_ || !window_->windowHandle())
        return;
    window_->windowHandle()->installEventFilter(this);
    surfaceWatched_ = true;
}

bool PointerHider::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (watched == window_) {
            watchSurface();
            hide();
        }
        break;
    case QEvent::Hide:
        if (watched == window_) {
            timer_.stop();
            reveal();
        }
        break;
    case QEvent::MouseMove:
        moved(static_cast<QMouseEvent*>(event)->globalPosition());
        break;
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        reveal();
        if (!blocked_)
            timer_.start();
        break;
    case QEvent::WindowBlocked:
        blocked_ = true;
        timer_.stop();
        reveal();
        break;
    case QEvent::WindowUnblocked:
        blocked_ = false;
        timer_.start();
        break;
    default:
        break;
    }
    return false;
}

// A window appearing under a still pointer may bring movement events without movement.
void PointerHider::moved(QPointF globalPosition)
{
    if (globalPosition == lastPosition_)
        return;
    lastPosition_ = globalPosition;
    reveal();
    if (!blocked_)
        timer_.start();
}

void PointerHider::idle()
{
    timer_.stop();
    // A box that blocks the window starts the count again when it closes.
    if (!window_ || !window_->isVisible() || blocked_)
        return;
    // A menu opened from the keyboard does not block the window: look again later.
    if (QApplication::activePopupWidget()) {
        timer_.start();
        return;
    }
    hide();
}

void PointerHider::hide()
{
    if (hidden_ || !window_)
        return;
    hadCursor_ = window_->testAttribute(Qt::WA_SetCursor);
    ownCursor_ = window_->cursor();
    window_->setCursor(Qt::BlankCursor);
    hidden_ = true;
}

void PointerHider::reveal()
{
    if (!hidden_ || !window_)
        return;
    if (hadCursor_)
        window_->setCursor(ownCursor_);
    else
        window_->unsetCursor();
    hidden_ = false;
}

} // namespace lmvo
