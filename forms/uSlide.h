#pragma once

#include "transition/TransitionView.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <set>

class QAction;
class QMenu;

namespace Ui {
class Tfrm_slide;
}

namespace lmvo {

class ScreenSaverInhibitor;

// The full-screen window of a show: walks through PictureFiles from PictureIndex and brings
// every picture in through a transition of a randomly drawn style at every tick of its timer.
// Space pauses and continues, Escape ends the show; the context menu offers the same.
//
// Closing only asks the modal loop to end: the handler that asked runs to its end first
// (including the transition of the last picture at the end of the list), and the window
// goes when control is back in its modal loop.
class Tfrm_slide : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_slide(QWidget* parent = nullptr);
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

private:
    class HandlerScope;

    void FormCreate();
    void FormShow();
    void UpdateTimer();
    void ShowNext();
    bool LoadNextPicture();
    bool loadOrPassOver();
    void requestClose();
    void paused(bool on);
    void coverScreen();

    std::unique_ptr<Ui::Tfrm_slide> ui;
    QPointer<TTransitionView> TransitionView_;
    QTimer Timer;
    bool timerEnabled_ = false;
    QMenu* PopupMenu1_ = nullptr;
    QAction* N1_ = nullptr;
    QAction* N2_ = nullptr;
    QAction* N4_ = nullptr;
    ScreenSaverInhibitor* screenSaver_ = nullptr;

    int handlerDepth_ = 0;
    bool closeRequested_ = false;
    // Pictures that failed to load in this show: each is reported once.
    std::set<std::size_t> reportedFailures_;
    std::size_t failuresInARow_ = 0;
};

} // namespace lmvo
