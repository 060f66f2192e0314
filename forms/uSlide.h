#pragma once

#include "show/PicturePreloader.h"
#include "forms/ScreenSaver.h"
#include "show/ShowOrder.h"

#include <lumivo/TransitionView.h>

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>

class QAction;
class QMenu;
class QScreen;

namespace Ui {
class Tfrm_slide;
}

namespace lmvo {

class ScreenCover;

// The full-screen window of a show: walks through PictureFiles from PictureIndex (in the order
// of the list, or shuffled for every pass) and brings every picture in through a transition of a
// randomly drawn style at every tick of its timer, the first one from the black waiting panel.
// Space pauses and continues, Escape ends the show; the context menu offers the same. It covers
// the screen it is given and, should that one be unplugged, the one it is moved to.
//
// Pictures are loaded at the size they are shown, one ahead of their tick on a worker thread. A
// picture that fails is reported once and passed over within its tick.
//
// Closing only asks the modal loop to end: the handler that asked runs to its end first
// (including the transition of the last picture at the end of the list), and the window
// goes when control is back in its modal loop.
class Tfrm_slide : public QDialog {
    Q_OBJECT
public:
    // The show covers `screen`; nullptr: the screen under the pointer.
    explicit Tfrm_slide(QScreen* screen = nullptr, QWidget* parent = nullptr);
    ~Tfrm_slide() override;

    // The show's change timer. Enabling compares first, so an enabled timer keeps measuring
    // from tick to tick; an interval of 0 keeps it stopped.
    [[nodiscard]] bool TimerEnabled() const { return timerEnabled_; }
    void SetTimerEnabled(bool enabled);
    [[nodiscard]] int TimerInterval() const { return Timer.interval(); }
    void SetTimerInterval(int milliseconds);

    [[nodiscard]] TTransitionView* TransitionView() const { return TransitionView_; }
    [[nodiscard]] QAction* N1() const { return N1_; }
    [[nodiscard]] QAction* N2() const { return N2_; }
    [[nodiscard]] QAction* N4() const { return N4_; }
    [[nodiscard]] QMenu* PopupMenu1() const { return PopupMenu1_; }
    [[nodiscard]] QWidget* WaitingPanel() const;
    [[nodiscard]] bool CloseRequested() const { return closeRequested_; }
    [[nodiscard]] bool ScreenSaverHeld() const { return screenSaver_.requested(); }
    // The size and fit every picture is loaded at: the control's client area in device pixels,
    // or the screen's while the window is not laid out yet.
    [[nodiscard]] DisplaySize PictureSize() const;
    // Ticks whose picture had not been asked for ahead (tests read it: the look-ahead must
    // follow the show's own order).
    [[nodiscard]] int UnforeseenPictures() const { return unforeseen_; }

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

    // What a tick gets for one picture of the list.
    struct Outcome {
        std::optional<Bitmap> picture;
        std::optional<PictureError> error;
        bool abandoned = false; // the show was paused or ended while the tick waited
    };

    void FormCreate();
    void FormShow();
    void UpdateTimer();
    void ShowNext();
    std::size_t takeStep(std::int32_t& position);
    Outcome obtain(std::size_t index);
    void present(Bitmap&& picture);
    void reportFailure(std::size_t index, const PictureError& error);
    void prepareAhead();
    void preparedArrived();
    void endShow();
    void requestClose();
    void finishClose();
    void paused(bool on);

    std::unique_ptr<Ui::Tfrm_slide> ui;
    QPointer<TTransitionView> TransitionView_;
    QTimer Timer{this};
    bool timerEnabled_ = false;
    QMenu* PopupMenu1_ = nullptr;
    QAction* N1_ = nullptr;
    QAction* N2_ = nullptr;
    QAction* N4_ = nullptr;
    ScreenSaverInhibitor screenSaver_;
    ScreenCover* screenCover_ = nullptr;

    int handlerDepth_ = 0;
    bool closeRequested_ = false;
    bool exiting_ = false; // the user asked to end the show
    bool closing_ = false; // the close is being carried out
    FitMode fit_ = FitMode::Stretch;
    std::unique_ptr<ShowOrder> order_;
    PicturePreloader* preloader_ = nullptr;
    bool waiting_ = false; // a tick waits for its picture
    int unforeseen_ = 0;
    // Pictures that failed to load in this show: each is reported once.
    std::set<std::size_t> reportedFailures_;
    // Failures the look-ahead met on its way to the next good picture, kept for their ticks.
    std::map<std::size_t, PreparedPicture> failedAhead_;
};

} // namespace lmvo
