#pragma once

#include "forms/ErrorReporter.h"
#include "forms/ScreenSaver.h"
#include "show/PicturePreloader.h"
#include "show/ShowClock.h"
#include "show/ShowController.h"

#include <lumivo/TransitionView.h>

#include <QDialog>
#include <QPointer>

#include <memory>
#include <optional>

class QAction;
class QMenu;
class QScreen;

namespace Ui {
class Tfrm_slide;
}

namespace lmvo {

class ScreenCover;

// The full-screen window of a show: at every tick of its timer it brings the next picture in
// through a transition of a randomly drawn style, the first one from the black waiting panel.
// What comes next is the show's controller's decision (show/ShowController.h); the window
// paints, takes the keys and the menu, hides the pointer, holds the screen saver off and covers
// its screen. Space pauses and continues, Escape ends the show; the context menu offers the
// same. It covers the screen it is given and, should that one be unplugged, the one it is moved
// to.
//
// Pictures are loaded at the size they are shown, one ahead of their tick on a worker thread. A
// picture that fails is reported once and passed over within its tick.
//
// Closing only asks the modal loop to end: the handler that asked runs to its end first
// (including the transition of the last picture at the end of the list), and the window
// goes when control is back in its modal loop.
class Tfrm_slide : public QDialog, private ShowView {
    Q_OBJECT
public:
    // The show covers `screen`; nullptr: the screen under the pointer.
    explicit Tfrm_slide(QScreen* screen = nullptr, QWidget* parent = nullptr);
    ~Tfrm_slide() override;

    // The show's change timer. Enabling compares first, so an enabled timer keeps measuring
    // from tick to tick; an interval of 0 keeps it stopped.
    [[nodiscard]] bool TimerEnabled() const { return controller_->timer().enabled(); }
    void SetTimerEnabled(bool enabled) { controller_->timer().setEnabled(enabled); }
    [[nodiscard]] int TimerInterval() const { return controller_->timer().interval(); }
    void SetTimerInterval(int milliseconds) { controller_->timer().setInterval(milliseconds); }

    [[nodiscard]] TTransitionView* TransitionView() const { return TransitionView_; }
    [[nodiscard]] QAction* N1() const { return N1_; }
    [[nodiscard]] QAction* N2() const { return N2_; }
    [[nodiscard]] QAction* N4() const { return N4_; }
    [[nodiscard]] QMenu* PopupMenu1() const { return PopupMenu1_; }
    [[nodiscard]] QWidget* WaitingPanel() const;
    [[nodiscard]] bool CloseRequested() const { return closeRequested_; }
    [[nodiscard]] bool ScreenSaverHeld() const { return screenSaver_.requested(); }
    // A tick waits for its picture: it goes on when the picture has come.
    [[nodiscard]] bool TickWaiting() const { return controller_->waiting(); }
    // The size and fit every picture is loaded at: the control's client area in device pixels,
    // or the screen's while the window is not laid out yet.
    [[nodiscard]] DisplaySize PictureSize() const;
    // Ticks whose picture had not been asked for ahead (tests read it: the look-ahead must
    // follow the show's own order).
    [[nodiscard]] int UnforeseenPictures() const { return controller_->unforeseenPictures(); }

    // Runs the show modally. Reports made while its loop was ending are shown before it returns:
    // the program may end right after.
    int exec() override;

    // The window's handlers, public so that a test can drive them as the user would.
    void FormKeyDown(int key);
    void TimerTimer();
    void N1Click();
    void N2Click();
    void N4Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class HandlerScope;

    void FormCreate();
    void FormShow();
    void requestClose();
    void finishClose();
    void paused(bool on);

    // What the controller asks of the window.
    [[nodiscard]] DisplaySize pictureSize() const override { return PictureSize(); }
    void present(Bitmap&& picture, int style) override;
    [[nodiscard]] bool transitionBusy() const override;
    void stopTransition() override;
    void report(const PictureError& error) override;
    void holdReports(bool held) override;
    void closeShow() override { requestClose(); }

    std::unique_ptr<Ui::Tfrm_slide> ui;
    QPointer<TTransitionView> TransitionView_;
    QMenu* PopupMenu1_ = nullptr;
    QAction* N1_ = nullptr;
    QAction* N2_ = nullptr;
    QAction* N4_ = nullptr;
    ScreenSaverInhibitor screenSaver_;
    ScreenCover* screenCover_ = nullptr;

    int handlerDepth_ = 0;
    bool closeRequested_ = false;
    bool closing_ = false; // the close is being carried out
    FitMode fit_ = FitMode::Stretch;
    PicturePreloader* preloader_ = nullptr;
    SteadyClock clock_;
    std::unique_ptr<ShowController> controller_; // after the clock, which its timer runs on
    std::optional<BoxesHeldBack> reportsHeld_;
};

} // namespace lmvo
