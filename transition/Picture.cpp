#include "transition/BitmapImage.h"
#include "transition/PictureGraphic.h"

#include "decoder/DecoderClient.h"

#include <QFile>

namespace lmvo {

namespace {

// The one point through which the container reads a file: in the decoder process.
Bitmap loadGraphic(const std::string& path) { return decodeFile(path); }

} // namespace

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::setOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }

void TPicture::LoadFromFile(const std::string& path)
{
    auto graphic = std::make_shared<const Bitmap>(loadGraphic(path));
    graphic_ = std::move(graphic);
    changed();
}

bool TPicture::load(const QString& fileName, QString* errorMessage)
{
    try {
        LoadFromFile(QFile::encodeName(fileName).toStdString());
        return true;
    } catch (const std::exception& e) {
        if (errorMessage)
            *errorMessage = QString::fromUtf8(e.what());
        return false;
    }
}

void TPicture::Assign(const TPicture* other)
{
    graphic_ = other ? other->graphic_ : nullptr;
    changed();
}

void TPicture::setImage(const QImage& image)
{
    if (image.isNull()) {
        clear();
        return;
    }
    PictureGraphic::set(*this, bitmapOfImage(image));
}

void TPicture::clear()
{
    graphic_.reset();
    changed();
}

bool TPicture::hasGraphic() const { return graphic_ != nullptr; }
std::int32_t TPicture::width() const { return graphic_ ? graphic_->width() : 0; }
std::int32_t TPicture::height() const { return graphic_ ? graphic_->height() : 0; }

QImage TPicture::toImage() const
{
    if (!graphic_ || graphic_->isEmpty())
        return QImage();
    // The image keeps the graphic alive, which never changes once set.
    auto keep = std::make_unique<std::shared_ptr<const Bitmap>>(graphic_);
    const Bitmap& b = *graphic_;
    return QImage(
        reinterpret_cast<const uchar*>(b.bits()), b.width(), b.height(), qsizetype(b.width()) * 4,
        QImage::Format_RGB32, [](void* p) { std::unique_ptr<std::shared_ptr<const Bitmap>>(static_cast<std::shared_ptr<const Bitmap>*>(p)); },
        keep.release());
}

void TPicture::changed()
{
    if (onChange_)
        onChange_();
}

void PictureGraphic::set(TPicture& p, Bitmap&& bitmap)
{
    p.graphic_ = std::make_shared<const Bitmap>(std::move(bitmap));
    p.changed();
}

} // namespace lmvo
