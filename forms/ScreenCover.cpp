#include "forms/ScreenCover.h"

#include "forms/ScreenChoice.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace lmvo {

ScreenCover::ScreenCover(QWidget& window, QScreen* screen) : QObject(&window), window_(window)
{
    if (QScreen* s = screen ? screen : screenOfPointer()) {
        // The screen first, for platforms that place a window by it (Wayland, another X
        // screen); the geometry for those that place it by position.
        window_.setScreen(s);
        window_.setGeometry(s->geometry());
    }
    window_.setWindowState(Qt::WindowFullScreen);
    window_.installEventFilter(this);
}

void ScreenCover::cover()
{
    if (const QScreen* s = window_.screen())
        window_.setGeometry(s->geometry());
    window_.setWindowState(window_.windowState() | Qt::WindowFullScreen);
    window_.activateWindow();
    window_.raise();
}

bool ScreenCover::eventFilter(QObject* watched, QEvent* event)
{
    // The native window, whose moves between screens are told, exists from the first showing.
    if (watched == &window_ && event->type() == QEvent::Show && !following_ && window_.windowHandle()) {
        following_ = true;
        // Queued: a move comes in the middle of the window system's own handling of an
        // unplugged screen, which is left to finish first.
        connect(
            window_.windowHandle(), &QWindow::screenChanged, this,
            [this] {
                watch(window_.screen());
                cover();
            },
            Qt::QueuedConnection);
        watch(window_.windowHandle()->screen());
    }
    return QObject::eventFilter(watched, event);
}

// A screen whose resolution or arrangement changes keeps the window over all of it.
void ScreenCover::watch(QScreen* screen)
{
    if (screen == watched_)
        return;
    disconnect(resized_);
    watched_ = screen;
    if (screen)
        resized_ = connect(screen, &QScreen::geometryChanged, this, [this] { cover(); });
}

} // namespace lmvo
