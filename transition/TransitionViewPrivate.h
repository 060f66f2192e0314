#pragma once

// The inside of TTransitionView: its state, its transition machinery and read access for the
// tests and tools built with the control's objects. Not installed; only the control's own
// sources and those tests and tools include it.

#include "raster/Bitmap.h"
#include "raster/Rect.h"
#include "transition/AnimateThread.h"

#include <lumivo/TransitionView.h>

#include <QPointer>
#include <QRect>

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

namespace lmvo {

// Everything is composed in device pixels (client rectangle, PicRect, PaintBuffer) so that a
// high-DPI screen shows the picture sharp; only invalidation speaks Qt's logical pixels.
class TTransitionViewPrivate {
public:
    explicit TTransitionViewPrivate(TTransitionView& view);

    [[nodiscard]] static TTransitionViewPrivate& of(TTransitionView& view) { return *view.d_; }
    [[nodiscard]] static const TTransitionViewPrivate& of(const TTransitionView& view) { return *view.d_; }
    [[nodiscard]] static Bitmap& bitmapOf(FrameCanvas& canvas) { return canvas.bitmap_; }

    // --- read access for tests and tools ---
    [[nodiscard]] const Bitmap& DisplayBitmap() const { return *displayBitmap_; }
    [[nodiscard]] const Bitmap& PaintBuffer() const { return paintBuffer_; }
    [[nodiscard]] Rect PicRect() const { return picRect_; }
    [[nodiscard]] bool HasOldBitmap() const { return oldBitmap_ != nullptr; }
    [[nodiscard]] bool HasNewBitmap() const { return newBitmap_ != nullptr; }
    [[nodiscard]] Rect ClientRect() const;
    // Where a rectangle of the picture lies in client (device) coordinates, clipped as the
    // invalidation clips it.
    [[nodiscard]] Rect AreaToClient(Rect area) const;
    // A device rectangle as logical pixels, rounded outward; `widen` adds one pixel around.
    [[nodiscard]] static QRect toLogical(const Rect& device, qreal ratio, bool widen);

    // Composes the whole client area into PaintBuffer.
    void Paint();
    // Marks a rectangle of the picture for repainting.
    void InvalidateArea(const Rect& area);

private:
    friend class TTransitionView;
    friend class FrameHostOfView;
    friend class TransitionGuard;

    // properties (TransitionView.cpp)
    void SetAutoSize(bool value);
    void SetBgMode(TTransitionView::TBackgroundMode value);
    void SetCenter(bool value);
    void SetStretch(bool value);
    void SetStretchFine(bool value);
    void SetAlign(TTransitionView::TAlign value);
    void SetColor(Color value);
    void SetManual(bool value);

    // pictures and geometry (TransitionView.cpp)
    void PictureChanged();
    void BgPictureChanged();
    void AdjustClientSize();
    void CalcPictureRect();
    void fitToParent();
    [[nodiscard]] qreal ratio() const;

    // a transition from Execute to its end (TransitionViewExecute.cpp)
    void Execute();
    void Stop();
    void ReserveBuffers(std::int32_t width, std::int32_t height);
    void SetProgress(int value);
    void ComposeFrameAt(int progress);
    void Prepare();
    void Animate();
    // `sender` is the worker's channel, or none for the in-line loop and Stop.
    void AnimationComplete(const WorkerChannel* sender);
    void UpdateFrame();
    [[nodiscard]] int nextProgress() const;
    [[nodiscard]] bool endReached() const;
    void stopNow();
    void abandonTransition();
    void keepBuffersForNext();
    // Raises a callback; the control may be gone afterwards.
    void fire(const TTransitionView::NotifyEvent& handler);
    void fireFromQt(const TTransitionView::NotifyEvent& handler) noexcept;
    // Raises busyChanged(false) where nothing may unwind.
    void reportIdle() noexcept;
    void reportIdleIfStill(const QPointer<TTransitionView>& self);
    [[nodiscard]] bool customDrawWanted() const;

    // the in-line loop (TransitionViewInline.cpp)
    void runInline();
    bool waitForNextStep(std::int64_t stepStart, std::uint64_t drive);
    [[nodiscard]] bool drives(std::uint64_t drive) const;

    // painting and window events (TransitionViewPaint.cpp, TransitionViewEvents.cpp)
    void invalidateWhole();
    void paintEvent();
    void resizeEvent();
    void event(QEvent* event);
    void eventFilter(QObject* watched, QEvent* event);

    // the worker (TransitionViewWorker.cpp)
    void startWorker();
    void retireWorker();
    [[nodiscard]] bool isCurrent(const WorkerChannel* channel) const;
    StepReply serveWorker(WorkerChannel& channel, WorkerRequest request);
    StepReply DoStep(const WorkerChannel& channel);
    void reapWorkers();
    void joinRetired(const WorkerChannel* channel);
    void endAllWorkers();

    TTransitionView& q;

    TPicture picture_;
    TPicture bgPicture_;
    TTransitionView::TBackgroundMode bgMode_ = TTransitionView::TBackgroundMode::bmTiled;
    bool autoSize_ = true;
    bool center_ = false;
    bool stretch_ = false;
    bool stretchFine_ = false;
    bool threaded_ = true;
    TTransitionView::TThreadPriority threadPriority_ = TTransitionView::TThreadPriority::tpNormal;
    bool manual_ = false;
    std::uint8_t style_ = 51;
    std::uint16_t step_ = 4;
    std::uint16_t delay_ = 40;
    std::uint8_t progress_ = 0;
    bool reverse_ = false;
    bool busy_ = false;
    TTransitionView::TAlign align_ = TTransitionView::TAlign::alNone;
    Color color_ = 0xFFFFFF;

    // Frames hold their own references, so a handler that stops or destroys the control in
    // the middle of a frame never frees a bitmap that frame is still drawing.
    std::shared_ptr<Bitmap> displayBitmap_;
    std::shared_ptr<Bitmap> oldBitmap_;
    std::shared_ptr<Bitmap> newBitmap_;
    // The two buffers of the last transition, drawn over by the next one of the same size: a
    // show's every transition has the client's size, and at 3840 x 2160 fresh buffers would
    // cost two 33-MB allocations, each page faulted in anew, at every tick.
    std::shared_ptr<Bitmap> spareOld_;
    std::shared_ptr<Bitmap> spareNew_;
    Bitmap paintBuffer_;
    Rect picRect_;

    std::unique_ptr<TAnimateThread> thread_;               // the worker driving the transition
    std::vector<std::unique_ptr<TAnimateThread>> retired_; // ended or superseded, not yet joined

    bool drawing_ = false;
    bool stopping_ = false;
    bool destroying_ = false;
    // A new transition and a new driver (loop or worker) each take a new number, so that code
    // resumed further out on the stack recognises it no longer owns what runs now.
    std::uint64_t generation_ = 0;
    std::uint64_t drive_ = 0;
};

// Reports a failure that has nowhere else to go: it must not unwind through Qt.
void warnCurrentFailure(const char* what) noexcept;

// Ends the transition that a failing Execute or SetManual started, and only that one: a
// newer transition started by a nested handler is left alone.
class TransitionGuard {
public:
    explicit TransitionGuard(TTransitionViewPrivate& d)
        : view_(&d.q), generation_(d.generation_), exceptions_(std::uncaught_exceptions())
    {
    }
    ~TransitionGuard()
    {
        if (std::uncaught_exceptions() > exceptions_ && view_ && TTransitionViewPrivate::of(*view_).generation_ == generation_)
            TTransitionViewPrivate::of(*view_).abandonTransition();
    }
    TransitionGuard(const TransitionGuard&) = delete;
    TransitionGuard& operator=(const TransitionGuard&) = delete;

    [[nodiscard]] std::uint64_t generation() const { return generation_; }

private:
    QPointer<TTransitionView> view_;
    std::uint64_t generation_;
    int exceptions_;
};

} // namespace lmvo
