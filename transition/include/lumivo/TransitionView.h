#pragma once

/// @file
/// The transition view: a widget that brings in each new picture through one of 117 animated
/// transition styles.

#include <lumivo/Export.h>
#include <lumivo/FrameCanvas.h>
#include <lumivo/Picture.h>

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

/// Lumivo's transition view and what comes with it.
namespace lmvo {

class TTransitionViewPrivate;

/// Shows one picture and replaces what it shows by a new picture through an animated
/// transition.
///
/// Set a picture (setPicture(), loadPicture() or Picture()), choose a style (1 to 117; 0 lets
/// a custom-draw handler draw) and call Execute(): the progress runs from 0 to 100 in steps
/// of `step` every `delay` milliseconds, and each frame is composed from what was on screen
/// and the new picture. Setting a picture alone changes nothing on screen.
///
/// The transition is timed either by a worker thread (`threaded`, the default: Execute()
/// returns at once) or in-line (Execute() returns when the transition has ended, keeping the
/// event loop running meanwhile, so handlers may run nested inside it). Either way every
/// frame is drawn, and every signal and callback is raised, on the thread that owns the
/// widget.
///
/// Each event is offered twice: as a Qt signal and as a callback member (`OnProgress` and so
/// on). Callbacks may throw; the exception reaches the caller of Execute() (in-line) or ends
/// the transition (threaded). Slots must not throw.
class LUMIVO_EXPORT TTransitionView : public QWidget {
    Q_OBJECT
    /// The transition style: 1-57 rectangle styles, 58-117 region styles, 0 custom drawing.
    Q_PROPERTY(int style READ Style WRITE setStyle)
    /// Progress added per step, 1 to 100.
    Q_PROPERTY(int step READ step WRITE setStep)
    /// Milliseconds per step, 0 to 65535.
    Q_PROPERTY(int delay READ delay WRITE setDelay)
    /// Scale the picture to the widget.
    Q_PROPERTY(bool stretch READ stretch WRITE setStretch)
    /// With `stretch`: keep the picture's aspect ratio, fitted and centred.
    Q_PROPERTY(bool stretchFine READ stretchFine WRITE setStretchFine)
    /// Centre the unscaled picture.
    Q_PROPERTY(bool center READ center WRITE setCenter)
    /// Transitions run from 100 down to 0.
    Q_PROPERTY(bool reverse READ reverse WRITE setReverse)
    /// Time the transition on a worker thread; otherwise Execute() runs it in-line.
    Q_PROPERTY(bool threaded READ threaded WRITE setThreaded)
    /// The priority of the next worker thread.
    Q_PROPERTY(TThreadPriority threadPriority READ threadPriority WRITE setThreadPriority)
    /// Resize the widget to each new picture (only with `align` alNone).
    Q_PROPERTY(bool autoSize READ autoSize WRITE setAutoSize)
    /// The caller drives the progress (SetProgress()); no timed animation.
    Q_PROPERTY(bool manual READ manual WRITE setManual)
    /// How the background picture fills the widget.
    Q_PROPERTY(TBackgroundMode bgMode READ bgMode WRITE setBgMode)
    /// alClient makes the widget follow its parent's contents rectangle.
    Q_PROPERTY(TAlign align READ align WRITE setAlign)
    /// The colour behind the pictures.
    Q_PROPERTY(QColor color READ color WRITE setColor)
    /// The picture the next transition brings in.
    Q_PROPERTY(QPixmap picture READ picturePixmap WRITE setPicture)
    /// The background picture.
    Q_PROPERTY(QPixmap bgPicture READ bgPicturePixmap WRITE setBgPicture)
    /// Where the running transition stands, 0 to 100; writable only while busy.
    Q_PROPERTY(int progress READ progress WRITE setProgress NOTIFY progressChanged STORED false DESIGNABLE false)
    /// Whether a transition is under way.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged STORED false DESIGNABLE false)

public:
    // Unscoped, so that Qt Designer's forms name the values as uic's code needs them
    // (TTransitionView::bmTiled); TBackgroundMode::bmTiled works as well.

    /// How the background picture fills the widget.
    enum TBackgroundMode : std::uint8_t { bmNone, bmTiled, bmStretched, bmCentered };
    Q_ENUM(TBackgroundMode)
    /// alClient: the widget covers its parent's contents rectangle and follows its resizes.
    enum TAlign { alNone, alClient };
    Q_ENUM(TAlign)
    /// The priority of the worker thread, from idle to time-critical.
    enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
    Q_ENUM(TThreadPriority)

    /// The number of the last style.
    static constexpr int LastStyle = 117;

    /// A callback with the view that raises it.
    using NotifyEvent = std::function<void(TTransitionView&)>;
    /// Draws a frame of style 0 (see FrameCanvas).
    using CustomDrawEvent = std::function<void(TTransitionView&, FrameCanvas& Picture, FrameCanvas& Screen)>;

    /// A 100 x 100 view with the defaults: style 51, step 4, delay 40, threaded, auto-size,
    /// tiled background, the palette's window colour.
    explicit TTransitionView(QWidget* parent = nullptr);
    /// Ends a running transition (waiting for its worker) without completing it.
    ~TTransitionView() override;

    /// @name Properties
    /// Setters compare first: writing the current value does nothing.
    ///@{
    [[nodiscard]] bool AutoSize() const;
    void SetAutoSize(bool value);
    [[nodiscard]] TBackgroundMode BgMode() const;
    void SetBgMode(TBackgroundMode value);
    [[nodiscard]] TPicture& BgPicture();
    /// Copies the picture of `value` into BgPicture() (none clears it).
    void SetBgPicture(const TPicture* value);
    [[nodiscard]] bool Center() const;
    void SetCenter(bool value);
    [[nodiscard]] std::uint16_t Delay() const;
    void SetDelay(std::uint16_t value);
    [[nodiscard]] bool Manual() const;
    /// While idle, also puts the progress at its start (0, or 100 when reversed). Set during a
    /// transition, pauses it at its next step; cleared, resumes it (in-line: returns when it
    /// has ended).
    void SetManual(bool value);
    [[nodiscard]] TPicture& Picture();
    /// Copies the picture of `value` into Picture() (none clears it).
    void SetPicture(const TPicture* value);
    [[nodiscard]] bool Reverse() const;
    void SetReverse(bool value);
    [[nodiscard]] bool Stretch() const;
    void SetStretch(bool value);
    [[nodiscard]] bool StretchFine() const;
    void SetStretchFine(bool value);
    [[nodiscard]] std::uint16_t Step() const;
    /// Kept within 1 ... 100.
    void SetStep(int value);
    [[nodiscard]] int Style() const;
    void SetStyle(int value);
    [[nodiscard]] bool Threaded() const;
    void SetThreaded(bool value);
    [[nodiscard]] TThreadPriority ThreadPriority() const;
    void SetThreadPriority(TThreadPriority value);
    [[nodiscard]] TAlign Align() const;
    void SetAlign(TAlign value);
    /// The background colour as 0xRRGGBB (the type is spelt in full: the getter hides its name).
    [[nodiscard]] std::uint32_t Color() const;
    void SetColor(std::uint32_t value);
    ///@}

    /// @name Qt-style accessors
    /// The same properties under Qt's names, as Qt Designer's generated code calls them. The
    /// style is read with Style(): style() is QWidget's.
    ///@{
    using QWidget::setStyle;
    void setStyle(int value) { SetStyle(value); }
    [[nodiscard]] int step() const { return Step(); }
    void setStep(int value) { SetStep(value); }
    [[nodiscard]] int delay() const { return Delay(); }
    /// Kept within 0 ... 65535.
    void setDelay(int value) { SetDelay(std::uint16_t(value < 0 ? 0 : value > 65535 ? 65535 : value)); }
    [[nodiscard]] bool stretch() const { return Stretch(); }
    void setStretch(bool value) { SetStretch(value); }
    [[nodiscard]] bool stretchFine() const { return StretchFine(); }
    void setStretchFine(bool value) { SetStretchFine(value); }
    [[nodiscard]] bool center() const { return Center(); }
    void setCenter(bool value) { SetCenter(value); }
    [[nodiscard]] bool reverse() const { return Reverse(); }
    void setReverse(bool value) { SetReverse(value); }
    [[nodiscard]] bool threaded() const { return Threaded(); }
    void setThreaded(bool value) { SetThreaded(value); }
    [[nodiscard]] TThreadPriority threadPriority() const { return ThreadPriority(); }
    void setThreadPriority(TThreadPriority value) { SetThreadPriority(value); }
    [[nodiscard]] bool autoSize() const { return AutoSize(); }
    void setAutoSize(bool value) { SetAutoSize(value); }
    [[nodiscard]] bool manual() const { return Manual(); }
    void setManual(bool value) { SetManual(value); }
    [[nodiscard]] TBackgroundMode bgMode() const { return BgMode(); }
    void setBgMode(TBackgroundMode value) { SetBgMode(value); }
    [[nodiscard]] TAlign align() const { return Align(); }
    void setAlign(TAlign value) { SetAlign(value); }
    [[nodiscard]] QColor color() const;
    void setColor(const QColor& value);
    [[nodiscard]] int progress() const { return Progress(); }
    void setProgress(int value) { SetProgress(value); }
    [[nodiscard]] bool busy() const { return Busy(); }
    ///@}

    /// @name Pictures
    ///@{
    /// Sets the picture of the next transition (see TPicture::setImage()).
    void setPicture(const QImage& image);
    void setPicture(const QPixmap& pixmap);
    /// Loads the picture of the next transition from a file; false, with the reason, when it
    /// cannot be loaded (the previous picture then stays).
    bool loadPicture(const QString& fileName, QString* errorMessage = nullptr);
    void setBgPicture(const QImage& image);
    void setBgPicture(const QPixmap& pixmap);
    [[nodiscard]] QPixmap picturePixmap() const;
    [[nodiscard]] QPixmap bgPicturePixmap() const;
    ///@}

    /// @name Transitions
    ///@{
    /// Starts a transition to Picture(); ignored while busy or without a picture. In-line and
    /// not manual it returns when the transition has ended; otherwise as soon as it is
    /// prepared. A failure ends the transition and reaches the caller.
    void Execute();
    /// Ends the running transition at once, without completing it: the last frame stays.
    void Stop();
    /// Makes the two transition buffers ready for pictures of `width` x `height` device
    /// pixels: allocated and written now, so that the first transition of that size starts as
    /// fast as the later ones. Nothing changes on screen; a transition under way keeps its own.
    void ReserveBuffers(std::int32_t width, std::int32_t height);
    [[nodiscard]] int Progress() const;
    /// While busy, moves the transition to `value` (at most 100) and draws that frame.
    void SetProgress(int value);
    [[nodiscard]] bool Busy() const;
    /// While busy: composes the frame of `progress` exactly as a step would, also when the
    /// progress is unchanged, and raises no progress event (for rendering single frames).
    void ComposeFrameAt(int progress);
    /// The frame last composed, at the picture's size (a null image before the first).
    [[nodiscard]] QImage currentFrame() const;
    /// The widget's size in device pixels: pictures of this size show unscaled.
    [[nodiscard]] QSize pixelSize() const;
    ///@}

    /// @name Callbacks
    /// The same events as the signals of the same meaning; a callback runs before its signal.
    ///@{
    NotifyEvent OnChange;      ///< Picture() has changed.
    NotifyEvent OnProgress;    ///< The progress has changed and its frame is drawn.
    NotifyEvent OnComplete;    ///< A transition has run to its end.
    NotifyEvent OnMouseEnter;  ///< The mouse has entered the view.
    NotifyEvent OnMouseLeave;  ///< The mouse has left the view.
    CustomDrawEvent OnCustomDraw; ///< Draws the frames of style 0.
    ///@}

Q_SIGNALS:
    /// The progress has changed; during a transition its frame is drawn by then.
    void progressChanged(int progress);
    /// A transition has begun (before started()) or ended (after completed() or stopped(), or
    /// when it failed; not when a handler of its end has started the next one).
    void busyChanged(bool busy);
    /// A transition has begun; its first frame follows.
    void started();
    /// A transition has run to its end.
    void completed();
    /// Stop() has ended a transition before its end.
    void stopped();
    /// The view has been painted on screen.
    void painted();
    /// Picture() has changed.
    void pictureChanged();
    /// Draws a frame of style 0: emitted on the widget's thread, connect it directly. With
    /// neither this signal connected nor OnCustomDraw set, style 0 shows the new picture at
    /// once.
    void customDraw(lmvo::FrameCanvas* picture, lmvo::FrameCanvas* screen);
    void mouseEntered();
    void mouseLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TTransitionViewPrivate;
    std::unique_ptr<TTransitionViewPrivate> d_;
};

} // namespace lmvo
