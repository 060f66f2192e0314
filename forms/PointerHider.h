#pragma once

#include <QCursor>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace lmvo {

// Keeps the mouse pointer off a full-screen show: hidden while the window is shown and the
// mouse lies still, back at the first movement, hidden again after `delayMs` without one.
// While a box blocks the window or a popup menu is open, the pointer stays visible.
//
// It watches the window and the window's native surface, which receives every movement over
// the window, including those over children that do not track the mouse.
class PointerHider : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultDelayMs = 2000;

    explicit PointerHider(QWidget* window, int delayMs = DefaultDelayMs);

    [[nodiscard]] bool pointerHidden() const { return hidden_; }
    [[nodiscard]] bool counting() const { return timer_.isActive(); }
    // The delay ran out without movement (the timer calls it; tests may too).
    void idle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moved(QPointF globalPosition);
    void reveal();
    void hide();
    void watchSurface();

    QPointer<QWidget> window_;
    QTimer timer_;
    QCursor ownCursor_;
    bool hadCursor_ = false;
    bool hidden_ = false;
    bool blocked_ = false;
    bool surfaceWatched_ = false;
    QPointF lastPosition_{-1e9, -1e9};
};

} // namespace lmvo
