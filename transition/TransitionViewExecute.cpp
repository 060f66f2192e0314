// A transition from Execute to its end: the bitmaps it is composed from, its progress, each
// frame, and its completion or stop. What drives the steps is in TransitionViewInline.cpp and
// TransitionViewWorker.cpp.
#include "transition/TransitionViewPrivate.h"

#include "raster/Draw.h"
#include "transition/PictureGraphic.h"
#include "transition/engine/FrameRenderer.h"

#include <lumivo/Random.h>

#include <QMetaMethod>
#include <QPointer>

#include <algorithm>
#include <memory>

namespace lmvo {

// The renderer's view of the control for one frame. It outlives the control if a handler
// destroys it, and then answers that the transition does not go on.
class FrameHostOfView final : public FrameHost {
public:
    explicit FrameHostOfView(TTransitionViewPrivate& d) : view_(&d.q), generation_(d.generation_) {}

    void invalidateArea(const Rect& area) override
    {
        if (view_)
            d().InvalidateArea(area);
    }
    bool customDraw(Bitmap& picture, Bitmap& screen) override
    {
        if (!view_ || !d().customDrawWanted())
            return false;
        FrameCanvas pictureCanvas(picture);
        FrameCanvas screenCanvas(screen);
        // The handler may reassign the event, or end the transition; the signal follows only
        // while the transition goes on.
        if (const auto handler = view_->OnCustomDraw)
            handler(*view_, pictureCanvas, screenCanvas);
        if (transitionGoesOn())
            emit view_->customDraw(&pictureCanvas, &screenCanvas);
        return true;
    }
    [[nodiscard]] bool transitionGoesOn() const override
    {
        return view_ && d().busy_ && d().generation_ == generation_;
    }
    [[nodiscard]] bool alive() const { return !view_.isNull(); }

private:
    [[nodiscard]] TTransitionViewPrivate& d() const { return TTransitionViewPrivate::of(*view_); }

    QPointer<TTransitionView> view_;
    std::uint64_t generation_;
};

namespace {

// A spare buffer serves again when it has the size wanted and no frame still draws from it
// (a handler may have stopped and restarted the transition inside a frame).
std::shared_ptr<Bitmap> bufferFrom(std::shared_ptr<Bitmap>& spare, std::int32_t width, std::int32_t height)
{
    std::shared_ptr<Bitmap> kept = std::move(spare);
    if (kept && kept.use_count() == 1 && kept->width() == width && kept->height() == height) {
        kept->renew();
        return kept;
    }
    kept.reset(); // first, so that an unfitting spare and its replacement are never held together
    return std::make_shared<Bitmap>(width, height);
}

} // namespace

void TTransitionViewPrivate::ReserveBuffers(std::int32_t width, std::int32_t height)
{
    const auto ready = [&](const std::shared_ptr<Bitmap>& spare) {
        return spare && spare->width() == width && spare->height() == height;
    };
    if (busy_)
        return;
    if (!ready(spareOld_))
        spareOld_ = bufferFrom(spareOld_, width, height);
    if (!ready(spareNew_))
        spareNew_ = bufferFrom(spareNew_, width, height);
}

int TTransitionViewPrivate::nextProgress() const
{
    if (reverse_)
        return progress_ < step_ ? 0 : progress_ - step_;
    return progress_ + step_;
}

bool TTransitionViewPrivate::endReached() const { return reverse_ ? progress_ == 0 : progress_ == 100; }

bool TTransitionViewPrivate::customDrawWanted() const
{
    return q.OnCustomDraw || q.isSignalConnected(QMetaMethod::fromSignal(&TTransitionView::customDraw));
}

void TTransitionViewPrivate::Execute()
{
    if (busy_ || !picture_.hasGraphic())
        return;
    busy_ = true;
    ++generation_;
    TransitionGuard guard(*this);
    QPointer<TTransitionView> self(&q);
    // A slot may stop the transition, start another or destroy the control.
    emit q.busyChanged(true);
    if (!self || !busy_ || generation_ != guard.generation())
        return;
    emit q.started();
    if (!self || !busy_ || generation_ != guard.generation())
        return;
    Prepare();
    // A handler of the first frame may have stopped the transition or destroyed the control.
    if (!self || !busy_ || generation_ != guard.generation() || manual_)
        return;
    Animate();
}

void TTransitionViewPrivate::Prepare()
{
    Bitmap& display = *displayBitmap_;
    display.setBrushColor(color_);
    display.setWidth(picture_.width());
    display.setHeight(picture_.height());
    CalcPictureRect();

    const Rect whole = display.bounds();
    std::shared_ptr<Bitmap> oldBitmap = bufferFrom(spareOld_, whole.width(), whole.height());
    // What is on screen where the picture will appear, scaled to the picture. A buffer never
    // painted at the current size holds nothing of the screen: the snapshot stays black.
    const Rect client = ClientRect();
    if (!display.isEmpty() && paintBuffer_.width() == client.width() && paintBuffer_.height() == client.height()) {
        const Rect source = !stretch_ ? picRect_ : stretchFine_ ? FitRect(picRect_, client) : client;
        oldBitmap->copyRect(whole, paintBuffer_, source);
    }
    std::shared_ptr<Bitmap> newBitmap = bufferFrom(spareNew_, whole.width(), whole.height());
    newBitmap->draw(0, 0, *graphicOf(picture_));
    oldBitmap_ = std::move(oldBitmap);
    newBitmap_ = std::move(newBitmap);

    SetProgress(reverse_ ? 100 : 0);
}

void TTransitionViewPrivate::Animate()
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

void TTransitionViewPrivate::SetProgress(int value)
{
    value = std::clamp(value, 0, 100);
    if (!busy_ || value == progress_)
        return;
    if (value < progress_ && !drawing_)
        invalidateWhole();
    progress_ = std::uint8_t(value);
    QPointer<TTransitionView> self(&q);
    const std::uint64_t generation = generation_;
    UpdateFrame();
    // A custom-draw handler may have ended the transition or destroyed the control.
    if (!self || generation != generation_ || !busy_ || destroying_)
        return;
    fire(q.OnProgress);
    if (self && generation == generation_ && !destroying_)
        emit q.progressChanged(progress_);
}

void TTransitionViewPrivate::ComposeFrameAt(int progress)
{
    if (!busy_)
        return;
    const std::uint8_t before = progress_;
    progress_ = std::uint8_t(std::clamp(progress, 0, 100));
    QPointer<TTransitionView> self(&q);
    UpdateFrame();
    if (self && progress_ != before)
        emit q.progressChanged(progress_);
}

void TTransitionViewPrivate::UpdateFrame()
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
        q.repaint();
}

void TTransitionViewPrivate::AnimationComplete(const WorkerChannel* sender)
{
    // A worker that no longer drives the transition has nothing left to end.
    if (sender && !isCurrent(sender))
        return;
    if (thread_)
        retireWorker();
    if (!stopping_ && manual_)
        return;
    busy_ = false;
    keepBuffersForNext();
    // Stop reports its own end once it has unwound.
    if (destroying_ || stopping_)
        return;
    QPointer<TTransitionView> self(&q);
    fire(q.OnComplete);
    if (self)
        emit q.completed();
    reportIdleIfStill(self);
}

// The end of a transition is reported last, and only while no handler has started another.
void TTransitionViewPrivate::reportIdleIfStill(const QPointer<TTransitionView>& self)
{
    if (self && !busy_ && !destroying_)
        emit q.busyChanged(false);
}

void TTransitionViewPrivate::Stop()
{
    if (!busy_ || stopping_)
        return;
    QPointer<TTransitionView> self(&q);
    const std::uint64_t generation = generation_;
    stopNow();
    if (!self || busy_ || generation != generation_ || destroying_)
        return;
    emit q.stopped();
    reportIdleIfStill(self);
}

void TTransitionViewPrivate::stopNow()
{
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

void TTransitionViewPrivate::abandonTransition()
{
    if (thread_)
        retireWorker();
    ++drive_;
    busy_ = false;
    keepBuffersForNext();
    reportIdle();
}

void TTransitionViewPrivate::reportIdle() noexcept
{
    if (destroying_)
        return;
    try {
        emit q.busyChanged(false);
    } catch (...) {
        warnCurrentFailure("A slot of the picture view failed");
    }
}

void TTransitionViewPrivate::keepBuffersForNext()
{
    spareOld_ = std::move(oldBitmap_);
    spareNew_ = std::move(newBitmap_);
}

void TTransitionViewPrivate::fire(const TTransitionView::NotifyEvent& handler)
{
    if (!handler)
        return;
    const TTransitionView::NotifyEvent copy = handler; // the handler may reassign the event
    copy(q);
}

void TTransitionViewPrivate::fireFromQt(const TTransitionView::NotifyEvent& handler) noexcept
{
    try {
        fire(handler);
    } catch (...) {
        warnCurrentFailure("An event handler of the picture view failed");
    }
}

} // namespace lmvo
