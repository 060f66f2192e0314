#include "forms/uSlide.h"

#include "forms/ErrorReporter.h"
#include "forms/PointerHider.h"
#include "forms/ScreenSaver.h"
#include "scan/SharedState.h"
#include "transition/TransitionView.h"
#include "transition/engine/Random.h"
#include "ui_uSlide.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>

#include <chrono>

namespace lmvo {

// Marks a handler as running. A close asked for inside it is carried out when the outermost
// handler has ended, that is when control is back in the modal loop; an exception that
// escapes the handler is reported and goes no further.
class Tfrm_slide::HandlerScope {
public:
    explicit HandlerScope(Tfrm_slide& form) : form_(&form) { ++form.handlerDepth_; }
    ~HandlerScope()
    {
        if (!form_)
            return;
        if (--form_->handlerDepth_ == 0 && form_->closeRequested_)
            form_->done(QDialog::Rejected);
    }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    QPointer<Tfrm_slide> form_;
};

namespace {

constexpr int StyleCount = 117;
constexpr int DefaultInterval = 5000;

std::uint32_t clockSeed()
{
    return std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
}

QScreen* screenOfPointer()
{
    if (QScreen* s = QGuiApplication::screenAt(QCursor::pos()))
        return s;
    return QGuiApplication::primaryScreen();
}

} // namespace

Tfrm_slide::Tfrm_slide(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfrm_slide>())
{
    ui->setupUi(this);
    // Flags before the first show: changing them later recreates and hides the window.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    if (QScreen* s = screenOfPointer())
        setGeometry(s->geometry());
    setWindowState(Qt::WindowFullScreen);

    QFont waitingFont;
    waitingFont.setFamilies({QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("Noto Sans CJK SC"),
                             QStringLiteral("Noto Sans CJK")});
    waitingFont.setPixelSize(40);
    ui->Panel2->setFont(waitingFont);

    PopupMenu1_ = new QMenu(this);
    PopupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    N1_ = PopupMenu1_->addAction(QStringLiteral("暂停"));
    N1_->setObjectName(QStringLiteral("N1"));
    N2_ = PopupMenu1_->addAction(QStringLiteral("继续"));
    N2_->setObjectName(QStringLiteral("N2"));
    N2_->setEnabled(false);
    PopupMenu1_->addSeparator()->setObjectName(QStringLiteral("N3"));
    N4_ = PopupMenu1_->addAction(QStringLiteral("退出"));
    N4_->setObjectName(QStringLiteral("N4"));
    connect(N1_, &QAction::triggered, this, [this] { N1Click(); });
    connect(N2_, &QAction::triggered, this, [this] { N2Click(); });
    connect(N4_, &QAction::triggered, this, [this] { N4Click(); });

    Timer.setObjectName(QStringLiteral("Timer"));
    Timer.setInterval(DefaultInterval);
    connect(&Timer, &QTimer::timeout, this, [this] { TimerTimer(); });

    screenSaver_ = new ScreenSaverInhibitor(this);
    new PointerHider(this);

    FormCreate();
}

Tfrm_slide::~Tfrm_slide() = default;

QWidget* Tfrm_slide::WaitingPanel() const { return ui->Panel2; }

void Tfrm_slide::FormCreate()
{
    processRandom().seed(clockSeed());

    TransitionView_ = new TTransitionView(ui->Panel1);
    TransitionView_->setObjectName(QStringLiteral("TransitionView"));
    TransitionView_->setFocusPolicy(Qt::NoFocus);
    TransitionView_->SetAutoSize(false);
    TransitionView_->SetAlign(TTransitionView::TAlign::alClient);
    TransitionView_->SetCenter(true);
    TransitionView_->SetStretch(true);
    TransitionView_->SetThreaded(false);

    // A constructor must not let a failure escape: a picture that fails is passed over.
    guarded([this] { loadOrPassOver(); });
}

void Tfrm_slide::FormShow()
{
    coverScreen();
    ui->Panel2->raise();
    screenSaver_->inhibit();
    if (closeRequested_ && handlerDepth_ == 0)
        QMetaObject::invokeMethod(this, [this] { done(QDialog::Rejected); }, Qt::QueuedConnection);
}

void Tfrm_slide::coverScreen()
{
    // A bare X server honours no full-screen state: cover the window's screen by geometry too.
    if (QScreen* s = screen())
        setGeometry(s->geometry());
    activateWindow();
    raise();
}

void Tfrm_slide::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void Tfrm_slide::SetTimerEnabled(bool enabled)
{
    if (enabled == timerEnabled_)
        return;
    timerEnabled_ = enabled;
    if (enabled && Timer.interval() > 0)
        Timer.start();
    else
        Timer.stop();
}

void Tfrm_slide::SetTimerInterval(int milliseconds)
{
    if (milliseconds == Timer.interval())
        return;
    Timer.setInterval(milliseconds); // restarts the count of a running timer
    if (milliseconds <= 0)
        Timer.stop();
    else if (timerEnabled_ && !Timer.isActive())
        Timer.start();
}

void Tfrm_slide::FormKeyDown(int key)
{
    HandlerScope scope(*this);
    if (key == Qt::Key_Escape)
        N4Click();
    else if (key == Qt::Key_Space)
        N1_->isEnabled() ? N1Click() : N2Click();
}

void Tfrm_slide::keyPressEvent(QKeyEvent* event)
{
    // Every key is the window's own: the dialog's default Escape handling would close it
    // without stopping the show.
    event->accept();
    guarded([&] { FormKeyDown(event->key()); });
}

void Tfrm_slide::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    PopupMenu1_->exec(event->globalPos());
}

void Tfrm_slide::closeEvent(QCloseEvent* event)
{
    // The window manager's close button ends the show like the exit command.
    event->ignore();
    guarded([this] { N4Click(); });
}

void Tfrm_slide::TimerTimer()
{
    HandlerScope scope(*this);
    guarded([this] {
        ui->Panel2->hide();
        ShowNext();
    });
}

void Tfrm_slide::N1Click()
{
    HandlerScope scope(*this);
    guarded([this] {
        paused(true);
        TransitionView_->Stop();
        SetTimerEnabled(false);
    });
}

void Tfrm_slide::N2Click()
{
    HandlerScope scope(*this);
    guarded([this] {
        paused(false);
        loadOrPassOver();
    });
}

void Tfrm_slide::N4Click()
{
    HandlerScope scope(*this);
    guarded([this] {
        TransitionView_->Stop();
        SetTimerEnabled(false);
        requestClose();
    });
}

void Tfrm_slide::paused(bool on)
{
    N1_->setEnabled(!on);
    N2_->setEnabled(on);
}

void Tfrm_slide::requestClose()
{
    closeRequested_ = true;
    screenSaver_->release();
}

// The timer runs exactly when no transition is under way and there are pictures; a show that
// is paused or asked to close keeps it off, so a pause pressed during a transition holds and
// an exit during one starts nothing more.
void Tfrm_slide::UpdateTimer()
{
    SetTimerEnabled(!TransitionView_->Busy() && !PictureFiles.empty() && N1_->isEnabled() && !closeRequested_);
}

void Tfrm_slide::ShowNext()
{
    if (PictureFiles.empty())
        return;
    if (TransitionView_->Busy()) {
        TransitionView_->Stop();
        loadOrPassOver();
    }
    TransitionView_->SetStyle(int(processRandom().draw(StyleCount)) + 1);
    if (!loadOrPassOver())
        return;

    QPointer<Tfrm_slide> self(this);
    try {
        TransitionView_->Execute();
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    }
    if (self)
        UpdateTimer();
}

// Loads the picture at PictureIndex into the control and advances past it. At the end of
// the list the show wraps round when it loops and is asked to close otherwise (the picture
// at the start is loaded all the same, so its transition still plays). A picture that fails
// is reported once per show and passed over; when every picture of the list has failed in a
// row, the show ends.
bool Tfrm_slide::LoadNextPicture()
{
    if (PictureFiles.empty())
        return false;
    const std::size_t count = PictureFiles.size();
    if (PictureIndex < 0 || std::size_t(PictureIndex) >= count) {
        PictureIndex = 0;
        if (LoopPlay != 1) {
            TransitionView_->Stop();
            SetTimerEnabled(false);
            requestClose();
        }
    }
    const std::size_t index = std::size_t(PictureIndex);
    try {
        TransitionView_->Picture().LoadFromFile(PictureFiles[index]);
    } catch (const std::exception& e) {
        ++PictureIndex;
        if (reportedFailures_.insert(index).second)
            reportError(QString::fromUtf8(e.what()));
        if (++failuresInARow_ >= count) {
            TransitionView_->Stop();
            SetTimerEnabled(false);
            requestClose();
        }
        return false;
    }
    failuresInARow_ = 0;
    ++PictureIndex;
    return true;
}

bool Tfrm_slide::loadOrPassOver()
{
    const bool loaded = LoadNextPicture();
    UpdateTimer();
    return loaded;
}

} // namespace lmvo
