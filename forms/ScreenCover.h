#pragma once

#include <QObject>
#include <QPointer>

class QScreen;
class QWidget;

namespace lmvo {

// Keeps a full-screen window over the whole of one screen: the one it is given (or the one
// under the pointer) at first, and from then on whichever screen the window is on, at that
// screen's present size. The window system moves a window whose screen is unplugged to
// another one; the window then covers that one, full screen again.
class ScreenCover : public QObject {
public:
    // Places `window` (frameless, its flags set) on `screen`; nullptr: the screen under the
    // pointer.
    ScreenCover(QWidget& window, QScreen* screen);

    // Sets the window over its screen and brings it to the front: a bare X server honours no
    // full-screen state, so the geometry is set as well.
    void cover();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QScreen* screen);

    QWidget& window_;
    bool following_ = false; // the window's moves between screens are watched
    QPointer<QScreen> watched_;
    QMetaObject::Connection resized_;
};

} // namespace lmvo
