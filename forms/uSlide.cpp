#include "forms/uSlide.h"

#include "forms/PictureErrorText.h"
#include "forms/PointerHider.h"
#include "forms/ScreenCover.h"
#include "scan/SharedState.h"
#include "transition/BitmapImage.h"
#include "ui_uSlide.h"

#include <lumivo/Random.h>

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <utility>

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
            form_->finishClose();
    }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    QPointer<Tfrm_slide> form_;
};

namespace {

constexpr int DefaultInterval = 5000;

std::uint32_t clockSeed()
{
    return std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
}

} // namespace

Tfrm_slide::Tfrm_slide(QScreen* screen, QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfrm_slide>())
{
    ui->setupUi(this);
    // Flags before the first show: changing them later recreates and hides the window.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    screenCover_ = new ScreenCover(*this, screen);

    QFont waitingFont;
    waitingFont.setFamilies({QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("Noto Sans CJK SC"),
                             QStringLiteral("Noto Sans CJK")});
    waitingFont.setPixelSize(40);
    ui->Panel2->setFont(waitingFont);

    PopupMenu1_ = new QMenu(this);
    PopupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    N1_ = PopupMenu1_->addAction(tr("暂停"));
    N1_->setObjectName(QStringLiteral("N1"));
    N2_ = PopupMenu1_->addAction(tr("继续"));
    N2_->setObjectName(QStringLiteral("N2"));
    N2_->setEnabled(false);
    PopupMenu1_->addSeparator()->setObjectName(QStringLiteral("N3"));
    N4_ = PopupMenu1_->addAction(tr("退出"));
    N4_->setObjectName(QStringLiteral("N4"));
    connect(N1_, &QAction::triggered, this, [this] { N1Click(); });
    connect(N2_, &QAction::triggered, this, [this] { N2Click(); });
    connect(N4_, &QAction::triggered, this, [this] { N4Click(); });

    new PointerHider(this);
    preloader_ = new PicturePreloader(this);
    preloader_->setObjectName(QStringLiteral("Preloader"));
    connect(preloader_, &PicturePreloader::prepared, this, [this] {
        HandlerScope scope(*this);
        guarded([this] { controller_->pictureArrived(); });
    });

    FormCreate();
}

// The worker is joined when the preloader goes with the window's children; cancelled now, the
// load under way ends early.
Tfrm_slide::~Tfrm_slide() { preloader_->cancel(); }

QWidget* Tfrm_slide::WaitingPanel() const { return ui->Panel2; }

int Tfrm_slide::exec()
{
    const int result = QDialog::exec();
    showPendingReports();
    return result;
}

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
    // The first transition starts from what the user sees: the black waiting panel.
    TransitionView_->SetColor(0x000000);
    TransitionView_->installEventFilter(this);

    fit_ = KeepProportions ? FitMode::FitInside : FitMode::Stretch;
    ShowView& view = *this;
    controller_ = std::make_unique<ShowController>(view, *preloader_, clock_, processRandom(), TTransitionView::LastStyle);
    controller_->timer().onTick = [this] { TimerTimer(); };
    controller_->timer().setInterval(DefaultInterval);
    // A constructor must not let a failure escape.
    guarded([this] { controller_->start(); });
}

void Tfrm_slide::FormShow()
{
    screenCover_->cover();
    ui->Panel2->raise();
    if (closeRequested_) {
        // Closed before it was shown: a close asked for before the modal loop runs would be
        // forgotten by it, and the screen saver is not held for a show that has ended.
        if (handlerDepth_ == 0)
            QMetaObject::invokeMethod(this, [this] { finishClose(); }, Qt::QueuedConnection);
        return;
    }
    screenSaver_.inhibit();
}

void Tfrm_slide::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
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

bool Tfrm_slide::eventFilter(QObject* watched, QEvent* event)
{
    // A new client size (the window moved to another screen, say) makes the prepared picture
    // the wrong size: prepare it again, and have the transition buffers ready for it before the
    // first tick. The controller hears of it from the event loop: a resize also comes inside
    // show(), where a close that a tick it lets go on asks for would be lost.
    if (watched == TransitionView_ && event->type() == QEvent::Resize && controller_) {
        guarded([this] {
            const DisplaySize size = PictureSize();
            TransitionView_->ReserveBuffers(size.width, size.height);
        });
        QMetaObject::invokeMethod(
            this,
            [this] {
                HandlerScope scope(*this);
                guarded([this] { controller_->sizeChanged(); });
            },
            Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void Tfrm_slide::TimerTimer()
{
    HandlerScope scope(*this);
    guarded([this] { controller_->tick(); });
}

void Tfrm_slide::N1Click()
{
    HandlerScope scope(*this);
    guarded([this] {
        paused(true);
        controller_->pause();
    });
}

void Tfrm_slide::N2Click()
{
    HandlerScope scope(*this);
    guarded([this] {
        paused(false);
        controller_->resume();
    });
}

void Tfrm_slide::N4Click()
{
    HandlerScope scope(*this);
    guarded([this] { controller_->exit(); });
}

void Tfrm_slide::paused(bool on)
{
    N1_->setEnabled(!on);
    N2_->setEnabled(on);
}

void Tfrm_slide::requestClose()
{
    closeRequested_ = true;
    screenSaver_.release();
}

// Carried out when the outermost handler has ended. Reports still waiting are shown over the
// show first: once it has gone the program ends, and they would be lost.
void Tfrm_slide::finishClose()
{
    // Not shown yet: FormShow carries the close out from the modal loop.
    if (closing_ || !isVisible())
        return;
    closing_ = true;
    preloader_->cancel();
    whenReportsShown(this, [this] { done(QDialog::Rejected); });
}

void Tfrm_slide::present(Bitmap&& picture, int style)
{
    ui->Panel2->hide();
    TransitionView_->SetStyle(style);
    TransitionView_->setPicture(imageTaking(std::move(picture)));
    try {
        TransitionView_->Execute();
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    }
}

bool Tfrm_slide::transitionBusy() const { return TransitionView_->Busy(); }

void Tfrm_slide::stopTransition() { TransitionView_->Stop(); }

void Tfrm_slide::report(const PictureError& error) { reportError(pictureErrorText(error)); }

void Tfrm_slide::holdReports(bool held)
{
    if (held)
        reportsHeld_.emplace();
    else
        reportsHeld_.reset();
}

DisplaySize Tfrm_slide::PictureSize() const
{
    const QSize pixels = TransitionView_->pixelSize();
    Rect client = rectOfSize(pixels.width(), pixels.height());
    if (!isVisible() || client.isEmpty()) {
        if (const QScreen* s = screen()) {
            const qreal ratio = s->devicePixelRatio();
            client = rectOfSize(qRound(s->geometry().width() * ratio), qRound(s->geometry().height() * ratio));
        }
    }
    return {std::max(client.width(), 1), std::max(client.height(), 1), fit_};
}

} // namespace lmvo
