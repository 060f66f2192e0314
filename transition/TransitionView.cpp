#include "transition/TransitionView.h"

#include "base/Clock.h"
#include "raster/Draw.h"
#include "raster/MulDiv.h"
#include "transition/engine/FrameRenderer.h"
#include "transition/engine/Random.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <stdexcept>

namespace lmvo {

namespace {

QThread::Priority qtPriority(TTransitionView::TThreadPriority p)
{
    static constexpr std::array<QThread::Priority, 7> table{
        QThread::IdlePriority,   // tpIdle
        QThread::LowestPriority, // tpLowest
        QThread::LowPriority,    // tpLower
        QThread::NormalPriority, // tpNormal
        QThread::HighPriority,   // tpHigher
        QThread::HighestPriority, // tpHighest
        QThread::TimeCriticalPriority, // tpTimeCritical
    };
    return table[std::size_t(p)];
}

// Reports a failure that has nowhere else to go: it must not unwind through Qt.
void warnCurrentFailure(const char* what) noexcept
{
    try {
        throw;
    } catch (const std::exception& e) {
        qWarning("%s: %s", what, e.what());
    } catch (...) {
        qWarning("%s", what);
    }
}

} // namespace

// The renderer's view of the control for one frame. It outlives the control if a handler
// destroys it, and then answers that the transition does not go on.
class FrameHostOfView final : public FrameHost {
public:
    explicit FrameHostOfView(TTransitionView& view) : view_(&view), generation_(view.generation_) {}

    void invalidateArea(const Rect& area) override
    {
        if (view_)
            view_->InvalidateArea(area);
    }
    bool customDraw(Bitmap& picture, Bitmap& screen) override
    {
        if (!view_ || !view_->OnCustomDraw)
            return false;
        const auto handler = view_->OnCustomDraw; // the handler may reassign the event
        handler(*view_, picture, screen);
        return true;
    }
    [[nodiscard]] bool transitionGoesOn() const override
    {
        return view_ && view_->busy_ && view_->generation_ == generation_;
    }
    [[nodiscard]] bool alive() const { return !view_.isNull(); }

private:
    QPointer<TTransitionView> view_;
    std::uint64_t generation_;
};

// Ends the transition that a failing Execute or SetManual started, and only that one: a
// newer transition started by a nested handler is left alone.
class TransitionGuard {
public:
    explicit TransitionGuard(TTransitionView& view)
        : view_(&view), generation_(view.generation_), exceptions_(std::uncaught_exceptions())
    {
    }
    ~TransitionGuard()
    {
        if (std::uncaught_exceptions() > exceptions_ && view_ && view_->generation_ == generation_)
            view_->abandonTransition();
    }
    TransitionGuard(const TransitionGuard&) = delete;
    TransitionGuard& operator=(const TransitionGuard&) = delete;

    [[nodiscard]] std::uint64_t generation() const { return generation_; }

private:
    QPointer<TTransitionView> view_;
    std::uint64_t generation_;
    int exceptions_;
};

// ---------------------------------------------------------------- life

TTransitionView::TTransitionView(QWidget* parent)
    : QWidget(parent), displayBitmap_(std::make_shared<Bitmap>())
{
    // Paint composes the whole client area, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    color_ = palette().color(QPalette::Window).rgb() & 0xFFFFFFu;
    picture_.setOnChange([this] { PictureChanged(); });
    bgPicture_.setOnChange([this] { BgPictureChanged(); });
    resize(100, 100);
}

TTransitionView::~TTransitionView()
{
    destroying_ = true;
    ++generation_;
    ++drive_;
    endAllWorkers();
}

void TTransitionView::endAllWorkers()
{
    if (thread_)
        retireWorker();
    for (auto& w : retired_)
        w->channel()->raiseAbort();
    while (!retired_.empty()) {
        std::unique_ptr<TAnimateThread> worker = std::move(retired_.back());
        retired_.pop_back();
        const auto channel = worker->channel();
        if (channel->inService()) {
            // A handler of this worker's own step destroys the control, and the worker waits
            // for that step: it cannot be waited for here. It ends by itself once the step
            // unwinds, and is joined and freed then. Connect before the worker can finish.
            TAnimateThread* raw = worker.release();
            connect(raw, &QThread::finished, raw, &QObject::deleteLater);
            channel->orphan();
        } else {
            channel->serveUntilFinished();
            worker.reset(); // joins
        }
    }
}

// ---------------------------------------------------------------- properties

void TTransitionView::SetAutoSize(bool value)
{
    if (value == autoSize_)
        return;
    autoSize_ = value;
    if (value)
        AdjustClientSize();
}

void TTransitionView::SetBgMode(TBackgroundMode value)
{
    if (value == bgMode_)
        return;
    bgMode_ = value;
    if (bgPicture_.hasGraphic() && !drawing_)
        update();
}

void TTransitionView::SetCenter(bool value)
{
    if (value == center_)
        return;
    center_ = value;
    if (!picture_.hasGraphic())
        return;
    CalcPictureRect();
    if (!displayBitmap_->isEmpty() && !drawing_)
        update();
}

void TTransitionView::SetStretch(bool value)
{
    if (value == stretch_)
        return;
    stretch_ = value;
    if (!displayBitmap_->isEmpty() && !drawing_)
        update();
}

void TTransitionView::SetStretchFine(bool value)
{
    if (value == stretchFine_)
        return;
    stretchFine_ = value;
    if (!displayBitmap_->isEmpty() && !drawing_)
        update();
}

void TTransitionView::SetStep(int value) { step_ = std::uint16_t(std::clamp(value, 1, 100)); }

void TTransitionView::SetAlign(TAlign value)
{
    if (value == align_)
        return;
    QWidget* parent = parentWidget();
    if (align_ == TAlign::alClient && parent)
        parent->removeEventFilter(this);
    align_ = value;
    if (align_ == TAlign::alClient && parent) {
        parent->installEventFilter(this);
        fitToParent();
    }
}

void TTransitionView::SetColor(lmvo::Color value)
{
    value &= 0xFFFFFFu;
    if (value == color_)
        return;
    color_ = value;
    if (!drawing_)
        update();
}

void TTransitionView::SetManual(bool value)
{
    if (value == manual_)
        return;
    manual_ = value;
    if (!busy_) {
        progress_ = reverse_ ? 100 : 0;
        return;
    }
    if (value) {
        // The worker would notice at its next step; waking it now ends its sleep early.
        if (thread_)
            thread_->channel()->raiseAbort();
        return;
    }
    TransitionGuard guard(*this);
    Animate();
}

// ---------------------------------------------------------------- pictures and geometry

void TTransitionView::PictureChanged()
{
    if (destroying_)
        return;
    if (picture_.hasGraphic() && autoSize_)
        AdjustClientSize();
    fire(OnChange);
}

void TTransitionView::BgPictureChanged()
{
    if (bgMode_ != TBackgroundMode::bmNone && !drawing_ && !destroying_)
        update();
}

void TTransitionView::AdjustClientSize()
{
    if (!picture_.hasGraphic() || align_ != TAlign::alNone)
        return;
    const qreal r = ratio();
    resize(qRound(picture_.width() / r), qRound(picture_.height() / r));
}

void TTransitionView::CalcPictureRect()
{
    const Bitmap& display = *displayBitmap_;
    if (display.isEmpty())
        return;
    picRect_ = rectOfSize(display.width(), display.height());
    if (center_) {
        const Rect client = ClientRect();
        picRect_.offset(half(client.width() - display.width()), half(client.height() - display.height()));
    }
}

qreal TTransitionView::ratio() const { return devicePixelRatioF(); }

Rect TTransitionView::ClientRect() const
{
    const qreal r = ratio();
    return rectOfSize(qRound(width() * r), qRound(height() * r));
}

void TTransitionView::fitToParent()
{
    if (QWidget* parent = parentWidget())
        setGeometry(parent->contentsRect());
}

// ---------------------------------------------------------------- transitions

int TTransitionView::nextProgress() const
{
    if (reverse_)
        return progress_ < step_ ? 0 : progress_ - step_;
    return progress_ + step_;
}

bool TTransitionView::endReached() const { return reverse_ ? progress_ == 0 : progress_ == 100; }

void TTransitionView::Execute()
{
    if (busy_ || !picture_.hasGraphic())
        return;
    busy_ = true;
    ++generation_;
    TransitionGuard guard(*this);
    QPointer<TTransitionView> self(this);
    Prepare();
    // A handler of the first frame may have stopped the transition or destroyed the control.
    if (!self || !busy_ || generation_ != guard.generation() || manual_)
        return;
    Animate();
}

void TTransitionView::Prepare()
{
    Bitmap& display = *displayBitmap_;
    display.setBrushColor(color_);
    display.setWidth(picture_.width());
    display.setHeight(picture_.height());
    CalcPictureRect();

    const Rect whole = display.bounds();
    auto oldBitmap = std::make_shared<Bitmap>(whole.width(), whole.height());
    // What is on screen where the picture will appear, scaled to the picture. A buffer never
    // painted at the current size holds nothing of the screen: the snapshot stays black.
    const Rect client = ClientRect();
    if (!display.isEmpty() && paintBuffer_.width() == client.width() && paintBuffer_.height() == client.height()) {
        const Rect source = !stretch_ ? picRect_ : stretchFine_ ? FitRect(picRect_, client) : client;
        oldBitmap->copyRect(whole, paintBuffer_, source);
    }
    auto newBitmap = std::make_shared<Bitmap>(whole.width(), whole.height());
    newBitmap->draw(0, 0, *picture_.graphic());
    oldBitmap_ = std::move(oldBitmap);
    newBitmap_ = std::move(newBitmap);

    SetProgress(reverse_ ? 100 : 0);
}

void TTransitionView::Animate()
{
    // Whatever drove the transition before (a worker that has not ended yet, an outer loop)
    // no longer does.
    if (thread_)
        retireWorker();
    ++drive_;
    if (threaded_)
        startWorker();
    else
        runInline();
}

bool TTransitionView::drives(std::uint64_t drive) const
{
    return drive == drive_ && busy_ && !manual_ && !stopping_;
}

void TTransitionView::runInline()
{
    QPointer<TTransitionView> self(this);
    const std::uint64_t drive = drive_;
    for (;;) {
        const std::int64_t stepStart = nowMs();
        SetProgress(nextProgress());
        if (!self || !drives(drive))
            return;
        if (endReached())
            break;
        if (!waitForNextStep(stepStart, drive))
            return;
    }
    AnimationComplete(nullptr);
}

// Waits inside the event loop until more than Delay ms have passed since the step began,
// processing events at least once. Instead of polling it sleeps until the next event or the
// deadline, so an idle transition costs next to no processor time. False when the loop must
// end: the control is gone or no longer driven by this loop.
bool TTransitionView::waitForNextStep(std::int64_t stepStart, std::uint64_t drive)
{
    QPointer<TTransitionView> self(this);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    bool pumped = false;
    for (;;) {
        const std::int64_t remaining = std::int64_t(delay_) + 1 - (nowMs() - stepStart);
        if (remaining <= 0 && pumped)
            return true;
        if (remaining <= 0) {
            QCoreApplication::processEvents();
        } else {
            deadline.start(int(remaining));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        pumped = true;
        if (!self || !drives(drive))
            return false;
    }
}

void TTransitionView::SetProgress(int value)
{
    value = std::clamp(value, 0, 100);
    if (!busy_ || value == progress_)
        return;
    if (value < progress_ && !drawing_)
        invalidateWhole();
    progress_ = std::uint8_t(value);
    QPointer<TTransitionView> self(this);
    const std::uint64_t generation = generation_;
    UpdateFrame();
    // A custom-draw handler may have ended the transition or destroyed the control.
    if (!self || generation != generation_ || !busy_ || destroying_)
        return;
    fire(OnProgress);
}

void TTransitionView::ComposeFrameAt(int progress)
{
    if (!busy_)
        return;
    progress_ = std::uint8_t(std::clamp(progress, 0, 100));
    UpdateFrame();
}

void TTransitionView::UpdateFrame()
{
    const std::shared_ptr<Bitmap> display = displayBitmap_;
    const std::shared_ptr<Bitmap> oldBitmap = oldBitmap_;
    const std::shared_ptr<Bitmap> newBitmap = newBitmap_;
    if (!oldBitmap || !newBitmap)
        return;
    FrameHostOfView host(*this);
    const bool wanted = composeFrame(host, FrameBuffers{*display, *oldBitmap, *newBitmap}, style_, step_,
                                     progress_, processRandom());
    if (!host.alive())
        return;
    if (wanted && !drawing_)
        repaint();
}

void TTransitionView::AnimationComplete(const WorkerChannel* sender)
{
    // A worker that no longer drives the transition has nothing left to end.
    if (sender && !isCurrent(sender))
        return;
    if (thread_)
        retireWorker();
    if (!stopping_ && manual_)
        return;
    busy_ = false;
    oldBitmap_.reset();
    newBitmap_.reset();
    if (!destroying_ && !stopping_)
        fire(OnComplete);
}

void TTransitionView::Stop()
{
    if (!busy_ || stopping_)
        return;
    stopping_ = true;
    struct ClearStopping {
        bool& flag;
        ~ClearStopping() { flag = false; }
    } clearStopping{stopping_};

    if (!thread_) {
        AnimationComplete(nullptr);
        return;
    }
    const std::shared_ptr<WorkerChannel> channel = thread_->channel();
    channel->raiseAbort();
    if (channel->inService()) {
        // Called from a handler of the worker's own step, which the worker is waiting for:
        // end the transition now; the worker is joined once it has ended.
        AnimationComplete(channel.get());
        return;
    }
    channel->serveUntilFinished();
    joinRetired(channel.get());
}

void TTransitionView::abandonTransition()
{
    if (thread_)
        retireWorker();
    ++drive_;
    busy_ = false;
    oldBitmap_.reset();
    newBitmap_.reset();
}

void TTransitionView::fire(const NotifyEvent& handler)
{
    if (!handler)
        return;
    const NotifyEvent copy = handler; // the handler may reassign the event
    copy(*this);
}

void TTransitionView::fireFromQt(const NotifyEvent& handler) noexcept
{
    try {
        fire(handler);
    } catch (...) {
        warnCurrentFailure("An event handler of the picture view failed");
    }
}

// ---------------------------------------------------------------- worker

void TTransitionView::startWorker()
{
    auto worker = std::make_unique<TAnimateThread>(
        [view = QPointer<TTransitionView>(this)](WorkerChannel& channel, WorkerRequest request) -> StepReply {
            if (!view)
                return {};
            return view->serveWorker(channel, request);
        });
    connect(worker.get(), &QThread::finished, this, &TTransitionView::reapWorkers, Qt::QueuedConnection);
    worker->start(qtPriority(threadPriority_));
    if (!worker->isRunning() && !worker->isFinished())
        throw std::runtime_error("The animation thread could not be started");
    thread_ = std::move(worker);
}

void TTransitionView::retireWorker()
{
    thread_->channel()->raiseAbort();
    retired_.push_back(std::move(thread_));
}

bool TTransitionView::isCurrent(const WorkerChannel* channel) const
{
    return thread_ && thread_->channel().get() == channel;
}

StepReply TTransitionView::serveWorker(WorkerChannel& channel, WorkerRequest request)
{
    // A failure must not unwind through the event loop: it goes back to the worker, which
    // ends as if the transition had reached its end.
    try {
        if (request == WorkerRequest::Step)
            return DoStep(channel);
        AnimationComplete(&channel);
    } catch (...) {
        warnCurrentFailure("A transition step failed");
        StepReply reply;
        reply.error = std::current_exception();
        return reply;
    }
    return {};
}

StepReply TTransitionView::DoStep(const WorkerChannel& channel)
{
    if (!isCurrent(&channel) || channel.aborted() || destroying_ || !busy_ || manual_ || stopping_)
        return {};
    QPointer<TTransitionView> self(this);
    SetProgress(nextProgress());
    if (!self || !isCurrent(&channel) || !busy_ || manual_ || stopping_ || endReached())
        return {};
    StepReply reply;
    reply.goOn = true;
    reply.delay = delay_;
    return reply;
}

void TTransitionView::reapWorkers()
{
    for (auto it = retired_.begin(); it != retired_.end();) {
        if ((*it)->channel()->finished())
            it = retired_.erase(it); // joins: the body has returned or is returning
        else
            ++it;
    }
}

void TTransitionView::joinRetired(const WorkerChannel* channel)
{
    const auto it = std::find_if(retired_.begin(), retired_.end(),
                                 [channel](const auto& w) { return w->channel().get() == channel; });
    if (it != retired_.end())
        retired_.erase(it);
}

// ---------------------------------------------------------------- painting

void TTransitionView::Paint()
{
    const Rect r = ClientRect();
    paintBuffer_.setWidth(r.width());
    paintBuffer_.setHeight(r.height());
    paintBuffer_.fillRect(r, color_);

    if (const auto& g = bgPicture_.graphic()) {
        switch (bgMode_) {
        case TBackgroundMode::bmTiled:
            TileDraw(paintBuffer_, r, g.get());
            break;
        case TBackgroundMode::bmStretched:
            paintBuffer_.stretchDraw(r, *g);
            break;
        case TBackgroundMode::bmCentered:
            paintBuffer_.draw(half(r.width() - g->width()), half(r.height() - g->height()), *g);
            break;
        case TBackgroundMode::bmNone:
            break;
        }
    }

    const Bitmap& display = *displayBitmap_;
    if (display.isEmpty())
        return;
    if (!stretch_)
        paintBuffer_.draw(picRect_.left, picRect_.top, display);
    else if (stretchFine_)
        paintBuffer_.stretchDraw(FitRect(picRect_, r), display);
    else
        paintBuffer_.stretchDraw(r, display);
}

void TTransitionView::paintEvent(QPaintEvent*)
{
    if (drawing_)
        return;
    drawing_ = true;
    try {
        Paint();
        if (!paintBuffer_.isEmpty()) {
            const QImage image(reinterpret_cast<const uchar*>(paintBuffer_.bits()), paintBuffer_.width(),
                               paintBuffer_.height(), qsizetype(paintBuffer_.width()) * 4, QImage::Format_RGB32);
            QImage scaled = image; // shares the pixels; only the ratio differs
            scaled.setDevicePixelRatio(ratio());
            QPainter painter(this);
            painter.drawImage(QPointF(0, 0), scaled);
        }
    } catch (...) {
        warnCurrentFailure("Painting the picture view failed");
    }
    drawing_ = false;
}

void TTransitionView::invalidateWhole() { InvalidateArea(displayBitmap_->bounds()); }

Rect TTransitionView::AreaToClient(Rect a) const
{
    if (stretch_) {
        const Rect client = ClientRect();
        if (picRect_.isEmpty())
            return client;
        const Rect t = stretchFine_ ? FitRect(picRect_, client) : client;
        const std::int32_t pw = picRect_.width();
        const std::int32_t ph = picRect_.height();
        return Rect{t.left + MulDiv(a.left, t.width(), pw), t.top + MulDiv(a.top, t.height(), ph),
                    t.left + MulDiv(a.right, t.width(), pw), t.top + MulDiv(a.bottom, t.height(), ph)};
    }
    if (center_)
        a.offset(picRect_.left, picRect_.top);
    a.left = std::max(a.left, picRect_.left);
    a.top = std::max(a.top, picRect_.top);
    a.right = std::min(a.right, picRect_.right);
    a.bottom = std::min(a.bottom, picRect_.bottom);
    return a;
}

QRect TTransitionView::toLogical(const Rect& d, qreal ratio, bool widen)
{
    int left = int(std::floor(d.left / ratio));
    int top = int(std::floor(d.top / ratio));
    int right = int(std::ceil(d.right / ratio));
    int bottom = int(std::ceil(d.bottom / ratio));
    if (widen) {
        // Nearest-pixel stretching may touch one pixel beyond the mapped edges.
        --left;
        --top;
        ++right;
        ++bottom;
    }
    return QRect(left, top, right - left, bottom - top);
}

void TTransitionView::InvalidateArea(const Rect& area)
{
    if (destroying_)
        return;
    const Rect a = AreaToClient(area);
    if (a.isEmpty())
        return;
    update(toLogical(a, ratio(), stretch_));
}

// ---------------------------------------------------------------- window events

void TTransitionView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!picture_.hasGraphic())
        return;
    CalcPictureRect();
    if (!displayBitmap_->isEmpty() && !drawing_)
        update();
}

void TTransitionView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    fireFromQt(OnMouseEnter);
}

void TTransitionView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    fireFromQt(OnMouseLeave);
}

bool TTransitionView::event(QEvent* event)
{
    if (align_ == TAlign::alClient) {
        if (event->type() == QEvent::ParentAboutToChange && parentWidget())
            parentWidget()->removeEventFilter(this);
        if (event->type() == QEvent::ParentChange && parentWidget()) {
            parentWidget()->installEventFilter(this);
            fitToParent();
        }
    }
    return QWidget::event(event);
}

bool TTransitionView::eventFilter(QObject* watched, QEvent* event)
{
    if (align_ == TAlign::alClient && watched == parentWidget() && event->type() == QEvent::Resize)
        fitToParent();
    return QWidget::eventFilter(watched, event);
}

} // namespace lmvo
