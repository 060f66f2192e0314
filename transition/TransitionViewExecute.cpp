// A transition from Execute to its end: the bitmaps it is composed from, its progress, each
// frame, and its completion or stop. What drives the steps is in TransitionViewInline.cpp and
// TransitionViewWorker.cpp.
#include "transition/TransitionView.h"

#include "raster/Draw.h"
#include "transition/TransitionViewDetail.h"
#include "transition/engine/FrameRenderer.h"
#include "transition/engine/Random.h"

#include <QPointer>

#include <algorithm>
#include <memory>

namespace lmvo {

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

void TTransitionView::ReserveBuffers(std::int32_t width, std::int32_t height)
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
    std::shared_ptr<Bitmap> oldBitmap = bufferFrom(spareOld_, whole.width(), whole.height());
    // What is on screen where the picture will appear, scaled to the picture. A buffer never
    // painted at the current size holds nothing of the screen: the snapshot stays black.
    const Rect client = ClientRect();
    if (!display.isEmpty() && paintBuffer_.width() == client.width() && paintBuffer_.height() == client.height()) {
        const Rect source = !stretch_ ? picRect_ : stretchFine_ ? FitRect(picRect_, client) : client;
        oldBitmap->copyRect(whole, paintBuffer_, source);
    }
    std::shared_ptr<Bitmap> newBitmap = bufferFrom(spareNew_, whole.width(), whole.height());
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
    keepBuffersForNext();
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
    keepBuffersForNext();
}

void TTransitionView::keepBuffersForNext()
{
    spareOld_ = std::move(oldBitmap_);
    spareNew_ = std::move(newBitmap_);
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

} // namespace lmvo
