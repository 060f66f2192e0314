#pragma once

#include "raster/Bitmap.h"
#include "raster/Rect.h"
#include "transition/AnimateThread.h"
#include "transition/Picture.h"

#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace lmvo {

// The picture-show control: shows one picture and replaces what it shows by a new picture
// through an animated transition, frame by frame, either in-line (a loop on the main thread
// that keeps the event queue serviced) or paced by a worker thread.
//
// Everything is composed in device pixels (client rectangle, PicRect, PaintBuffer) so that a
// high-DPI screen shows the picture sharp; only invalidation speaks Qt's logical pixels.
class TTransitionView : public QWidget {
    Q_OBJECT
public:
    enum class TBackgroundMode : std::uint8_t { bmNone, bmTiled, bmStretched, bmCentered };
    enum class TAlign { alNone, alClient };
    enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

    using NotifyEvent = std::function<void(TTransitionView&)>;
    using CustomDrawEvent = std::function<void(TTransitionView&, Bitmap& Picture, Bitmap& Screen)>;

    explicit TTransitionView(QWidget* parent = nullptr);
    ~TTransitionView() override;

    // --- properties ---
    [[nodiscard]] bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    [[nodiscard]] TBackgroundMode BgMode() const { return bgMode_; }
    void SetBgMode(TBackgroundMode value);
    [[nodiscard]] TPicture& BgPicture() { return bgPicture_; }
    void SetBgPicture(const TPicture* value) { bgPicture_.Assign(value); }
    [[nodiscard]] bool Center() const { return center_; }
    void SetCenter(bool value);
    [[nodiscard]] std::uint16_t Delay() const { return delay_; }
    void SetDelay(std::uint16_t value) { delay_ = value; }
    [[nodiscard]] bool Manual() const { return manual_; }
    void SetManual(bool value);
    [[nodiscard]] TPicture& Picture() { return picture_; }
    void SetPicture(const TPicture* value) { picture_.Assign(value); }
    [[nodiscard]] bool Reverse() const { return reverse_; }
    void SetReverse(bool value) { reverse_ = value; }
    [[nodiscard]] bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    [[nodiscard]] bool StretchFine() const { return stretchFine_; }
    void SetStretchFine(bool value);
    [[nodiscard]] std::uint16_t Step() const { return step_; }
    void SetStep(int value);
    [[nodiscard]] int Style() const { return style_; }
    void SetStyle(int value) { style_ = std::uint8_t(value); }
    [[nodiscard]] bool Threaded() const { return threaded_; }
    void SetThreaded(bool value) { threaded_ = value; }
    [[nodiscard]] TThreadPriority ThreadPriority() const { return threadPriority_; }
    void SetThreadPriority(TThreadPriority value) { threadPriority_ = value; }
    [[nodiscard]] TAlign Align() const { return align_; }
    void SetAlign(TAlign value);
    // The background colour, 0xRRGGBB (the type is spelt in full: the getter hides its name).
    [[nodiscard]] lmvo::Color Color() const { return color_; }
    void SetColor(lmvo::Color value);

    [[nodiscard]] int Progress() const { return progress_; }
    void SetProgress(int value);
    [[nodiscard]] bool Busy() const { return busy_; }

    // Starts a transition to Picture; ignored while Busy or without a picture. In-line and not
    // Manual it returns when the transition has ended; otherwise as soon as it is prepared.
    // A failure ends the transition and reaches the caller.
    void Execute();
    // Ends the running transition at once, without OnComplete.
    void Stop();
    // Makes the two transition buffers ready for pictures of `width` x `height`: allocated and
    // written now, so that the first transition of that size starts as fast as the later ones
    // (at 3840 x 2160 fresh buffers cost two 33-MB allocations faulted in at its first step).
    // Nothing changes on screen; a transition under way keeps its own.
    void ReserveBuffers(std::int32_t width, std::int32_t height);

    // While Busy: composes the frame of `progress` exactly as a step would, also when the
    // progress is unchanged, and raises no OnProgress (for tools that render single frames).
    void ComposeFrameAt(int progress);

    NotifyEvent OnChange, OnProgress, OnComplete, OnMouseEnter, OnMouseLeave;
    CustomDrawEvent OnCustomDraw;

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class FrameHostOfView;
    friend class TransitionGuard;

    // pictures and geometry (TransitionView.cpp)
    void PictureChanged();
    void BgPictureChanged();
    void AdjustClientSize();
    void CalcPictureRect();
    void fitToParent();
    [[nodiscard]] qreal ratio() const;

    // a transition from Execute to its end (TransitionViewExecute.cpp)
    void Prepare();
    void Animate();
    // `sender` is the worker's channel, or none for the in-line loop and Stop.
    void AnimationComplete(const WorkerChannel* sender);
    void UpdateFrame();
    [[nodiscard]] int nextProgress() const;
    [[nodiscard]] bool endReached() const;
    void abandonTransition();
    void keepBuffersForNext();
    void fire(const NotifyEvent& handler);
    void fireFromQt(const NotifyEvent& handler) noexcept;

    // the in-line loop (TransitionViewInline.cpp)
    void runInline();
    bool waitForNextStep(std::int64_t stepStart, std::uint64_t drive);
    [[nodiscard]] bool drives(std::uint64_t drive) const;

    // painting (TransitionViewPaint.cpp)
    void invalidateWhole();

    // the worker (TransitionViewWorker.cpp)
    void startWorker();
    void retireWorker();
    [[nodiscard]] bool isCurrent(const WorkerChannel* channel) const;
    StepReply serveWorker(WorkerChannel& channel, WorkerRequest request);
    StepReply DoStep(const WorkerChannel& channel);
    void reapWorkers();
    void joinRetired(const WorkerChannel* channel);
    void endAllWorkers();

    TPicture picture_;
    TPicture bgPicture_;
    TBackgroundMode bgMode_ = TBackgroundMode::bmTiled;
    bool autoSize_ = true;
    bool center_ = false;
    bool stretch_ = false;
    bool stretchFine_ = false;
    bool threaded_ = true;
    TThreadPriority threadPriority_ = TThreadPriority::tpNormal;
    bool manual_ = false;
    std::uint8_t style_ = 51;
    std::uint16_t step_ = 4;
    std::uint16_t delay_ = 40;
    std::uint8_t progress_ = 0;
    bool reverse_ = false;
    bool busy_ = false;
    TAlign align_ = TAlign::alNone;
    lmvo::Color color_ = 0xFFFFFF;

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

} // namespace lmvo
