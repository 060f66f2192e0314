// The public face of the control: the properties and operations it publishes, each handed to
// the inside (TTransitionViewPrivate), and the Qt forms of its colour and pictures.
#include "transition/TransitionViewPrivate.h"

#include "transition/BitmapImage.h"

namespace lmvo {

using View = TTransitionView;

bool View::AutoSize() const { return d_->autoSize_; }
void View::SetAutoSize(bool value) { d_->SetAutoSize(value); }
View::TBackgroundMode View::BgMode() const { return d_->bgMode_; }
void View::SetBgMode(TBackgroundMode value) { d_->SetBgMode(value); }
TPicture& View::BgPicture() { return d_->bgPicture_; }
void View::SetBgPicture(const TPicture* value) { d_->bgPicture_.Assign(value); }
bool View::Center() const { return d_->center_; }
void View::SetCenter(bool value) { d_->SetCenter(value); }
std::uint16_t View::Delay() const { return d_->delay_; }
void View::SetDelay(std::uint16_t value) { d_->delay_ = value; }
bool View::Manual() const { return d_->manual_; }
void View::SetManual(bool value) { d_->SetManual(value); }
TPicture& View::Picture() { return d_->picture_; }
void View::SetPicture(const TPicture* value) { d_->picture_.Assign(value); }
bool View::Reverse() const { return d_->reverse_; }
void View::SetReverse(bool value) { d_->reverse_ = value; }
bool View::Stretch() const { return d_->stretch_; }
void View::SetStretch(bool value) { d_->SetStretch(value); }
bool View::StretchFine() const { return d_->stretchFine_; }
void View::SetStretchFine(bool value) { d_->SetStretchFine(value); }
std::uint16_t View::Step() const { return d_->step_; }
void View::SetStep(int value) { d_->step_ = std::uint16_t(std::clamp(value, 1, 100)); }
int View::Style() const { return d_->style_; }
void View::SetStyle(int value) { d_->style_ = std::uint8_t(value); }
bool View::Threaded() const { return d_->threaded_; }
void View::SetThreaded(bool value) { d_->threaded_ = value; }
View::TThreadPriority View::ThreadPriority() const { return d_->threadPriority_; }
void View::SetThreadPriority(TThreadPriority value) { d_->threadPriority_ = value; }
View::TAlign View::Align() const { return d_->align_; }
void View::SetAlign(TAlign value) { d_->SetAlign(value); }
std::uint32_t View::Color() const { return d_->color_; }
void View::SetColor(std::uint32_t value) { d_->SetColor(value); }
QColor View::color() const { return QColor(QRgb(d_->color_)); }
void View::setColor(const QColor& value) { d_->SetColor(value.rgb() & 0xFFFFFFu); }

void View::setPicture(const QImage& image) { d_->picture_.setImage(image); }
void View::setPicture(const QPixmap& pixmap) { d_->picture_.setImage(pixmap.toImage()); }
bool View::loadPicture(const QString& fileName, QString* errorMessage)
{
    return d_->picture_.load(fileName, errorMessage);
}
void View::setBgPicture(const QImage& image) { d_->bgPicture_.setImage(image); }
void View::setBgPicture(const QPixmap& pixmap) { d_->bgPicture_.setImage(pixmap.toImage()); }
QPixmap View::picturePixmap() const { return QPixmap::fromImage(d_->picture_.toImage()); }
QPixmap View::bgPicturePixmap() const { return QPixmap::fromImage(d_->bgPicture_.toImage()); }

void View::Execute() { d_->Execute(); }
void View::Stop() { d_->Stop(); }
void View::ReserveBuffers(std::int32_t width, std::int32_t height) { d_->ReserveBuffers(width, height); }
int View::Progress() const { return d_->progress_; }
void View::SetProgress(int value) { d_->SetProgress(value); }
bool View::Busy() const { return d_->busy_; }
void View::ComposeFrameAt(int progress) { d_->ComposeFrameAt(progress); }
QImage View::currentFrame() const
{
    const Bitmap& display = *d_->displayBitmap_;
    return display.isEmpty() ? QImage() : imageOf(display).copy();
}
QSize View::pixelSize() const
{
    const Rect client = d_->ClientRect();
    return QSize(client.width(), client.height());
}

void View::paintEvent(QPaintEvent*) { d_->paintEvent(); }
void View::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    d_->resizeEvent();
}
void View::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    QPointer<View> self(this);
    d_->fireFromQt(OnMouseEnter);
    if (self)
        emit mouseEntered();
}
void View::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    QPointer<View> self(this);
    d_->fireFromQt(OnMouseLeave);
    if (self)
        emit mouseLeft();
}
bool View::event(QEvent* event)
{
    d_->event(event);
    return QWidget::event(event);
}
bool View::eventFilter(QObject* watched, QEvent* event)
{
    d_->eventFilter(watched, event);
    return QWidget::eventFilter(watched, event);
}

} // namespace lmvo
