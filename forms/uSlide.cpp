#include "forms/uSlide.h"

#include "forms/ErrorReporter.h"
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
#include <QCoreApplication>
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

constexpr int StyleCount = 117;
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

    Timer.setObjectName(QStringLiteral("Timer"));
    Timer.setInterval(DefaultInterval);
    connect(&Timer, &QTimer::timeout, this, [this] { TimerTimer(); });

    new PointerHider(this);
    preloader_ = new PicturePreloader(this);
    preloader_->setObjectName(QStringLiteral("Preloader"));
    connect(preloader_, &PicturePreloader::prepared, this, [this] { guarded([this] { preparedArrived(); }); });

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
    order_ = std::make_unique<ShowOrder>(PictureFiles.size(), ShufflePlay, processRandom());
    // A constructor must not let a failure escape.
    guarded([this] {
        prepareAhead();
        UpdateTimer();
    });
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

bool Tfrm_slide::eventFilter(QObject* watched, QEvent* event)
{
    // A new client size (the window moved to another screen, say) makes the prepared picture
    // the wrong size: prepare it again, and have the transition buffers ready for it before the
    // first tick.
    if (watched == TransitionView_ && event->type() == QEvent::Resize)
        guarded([this] {
            const DisplaySize size = PictureSize();
            TransitionView_->ReserveBuffers(size.width, size.height);
            prepareAhead();
        });
    return QDialog::eventFilter(watched, event);
}

void Tfrm_slide::TimerTimer()
{
    HandlerScope scope(*this);
    guarded([this] { ShowNext(); });
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

// The picture prepared for the next tick stays; the next tick, one interval from now, shows it.
void Tfrm_slide::N2Click()
{
    HandlerScope scope(*this);
    guarded([this] {
        paused(false);
        prepareAhead();
        UpdateTimer();
    });
}

void Tfrm_slide::N4Click()
{
    HandlerScope scope(*this);
    guarded([this] {
        TransitionView_->Stop();
        SetTimerEnabled(false);
        exiting_ = true;
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

void Tfrm_slide::endShow()
{
    TransitionView_->Stop();
    SetTimerEnabled(false);
    requestClose();
}

// The timer runs exactly when no transition is under way and there are pictures; a show that
// is paused or asked to close keeps it off, so a pause pressed during a transition holds and
// an exit during one starts nothing more.
void Tfrm_slide::UpdateTimer()
{
    SetTimerEnabled(!TransitionView_->Busy() && !PictureFiles.empty() && N1_->isEnabled() && !closeRequested_);
}

// One tick: the next picture of the show comes in through a transition. A picture that fails is
// reported and the tick goes straight on with the one after it, at most once round the list;
// when every picture has failed, the show ends.
void Tfrm_slide::ShowNext()
{
    if (PictureFiles.empty())
        return;
    if (TransitionView_->Busy())
        TransitionView_->Stop();
    TransitionView_->SetStyle(int(processRandom().draw(StyleCount)) + 1);

    // The tick's own reports, and any others, open their boxes when it has ended: a box opened
    // inside it would stop a picture half-way in, or keep the tick waiting, until dismissed.
    const BoxesHeldBack heldBack;
    QPointer<Tfrm_slide> self(this);
    std::set<std::size_t> failed;
    while (failed.size() < PictureFiles.size()) {
        std::int32_t position = 0;
        const std::size_t index = takeStep(position);
        if (failed.count(index))
            continue;
        Outcome got = obtain(index);
        if (!self)
            return;
        if (got.abandoned) {
            PictureIndex = position; // shown when the show goes on
            return;
        }
        if (got.picture) {
            present(std::move(*got.picture));
            break;
        }
        failed.insert(index);
        if (got.error)
            reportFailure(index, *got.error);
    }
    if (!self)
        return;
    if (failed.size() >= PictureFiles.size())
        endShow();
    prepareAhead();
    UpdateTimer();
}

// The position of the next picture, and its index in the list. At the end of the list the show
// begins a new pass when it loops and is asked to close otherwise (the picture at the start is
// taken all the same, so its transition still plays).
std::size_t Tfrm_slide::takeStep(std::int32_t& position)
{
    if (PictureIndex < 0 || std::size_t(PictureIndex) >= PictureFiles.size()) {
        PictureIndex = 0;
        order_->beginNextPass();
        if (LoopPlay != 1)
            endShow();
    }
    position = PictureIndex++;
    return order_->at(std::size_t(position));
}

// The picture at `index`, loaded at the shown size: prepared ahead, or waited for with the event
// loop turning, so that Escape, the menu and pause keep working meanwhile.
Tfrm_slide::Outcome Tfrm_slide::obtain(std::size_t index)
{
    // A failure the look-ahead met moments ago is reported as it was met: reading the file's
    // stamp again here would be a file-system call on the main thread, which a stalled folder
    // could hold. The next pass tries the file afresh.
    if (auto known = failedAhead_.extract(index))
        return {std::nullopt, known.mapped().error, false};
    if (!preloader_->wanted() || preloader_->wanted()->index != index)
        ++unforeseen_;
    QPointer<Tfrm_slide> self(this);
    for (;;) {
        const PictureRequest request{index, PictureFiles[index], PictureSize()};
        if (std::optional<PreparedPicture> ready = preloader_->take(request))
            return {std::move(ready->picture), std::move(ready->error), false};
        preloader_->prepare(request); // nothing when it is under way already
        waiting_ = true;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!self)
            return {std::nullopt, {}, true};
        waiting_ = false;
        if (exiting_ || !N1_->isEnabled())
            return {std::nullopt, {}, true};
    }
}

void Tfrm_slide::present(Bitmap&& picture)
{
    ui->Panel2->hide();
    TransitionView_->setPicture(imageTaking(std::move(picture)));
    try {
        TransitionView_->Execute();
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    }
}

// A file counts as reported once its report is queued: the reporter loses none.
void Tfrm_slide::reportFailure(std::size_t index, const PictureError& error)
{
    if (reportedFailures_.insert(index).second)
        reportError(pictureErrorText(error));
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

// Asks the worker for the picture the next tick will take, by the show's own order, passing
// over the pictures already known to fail.
void Tfrm_slide::prepareAhead()
{
    if (waiting_ || closeRequested_ || PictureFiles.empty() || !order_)
        return;
    const std::size_t count = PictureFiles.size();
    std::size_t position = std::size_t(std::max<std::int32_t>(PictureIndex, 0));
    bool nextPass = false;
    for (std::size_t walked = 0; walked < count; ++walked, ++position) {
        if (position >= count) {
            if (nextPass)
                return;
            position = 0;
            nextPass = true;
        }
        const std::size_t index = order_->at(position, nextPass);
        if (failedAhead_.count(index))
            continue;
        preloader_->prepare({index, PictureFiles[index], PictureSize()});
        return;
    }
}

// A failure the look-ahead met is kept for its tick, and the look-ahead goes on past it.
void Tfrm_slide::preparedArrived()
{
    if (waiting_ || closeRequested_)
        return;
    const PreparedPicture* ready = preloader_->ready();
    if (!ready || ready->picture)
        return;
    const PictureRequest request = ready->request;
    if (std::optional<PreparedPicture> failure = preloader_->take(request))
        failedAhead_.insert_or_assign(request.index, std::move(*failure));
    prepareAhead();
}

} // namespace lmvo
