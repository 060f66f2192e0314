#include "transition/Picture.h"

#include "decoder/DecoderClient.h"

namespace lmvo {

void TPicture::LoadFromFile(const std::string& path)
{
    auto graphic = std::make_shared<const Bitmap>(decodeFile(path));
    graphic_ = std::move(graphic);
    changed();
}

void TPicture::Assign(const TPicture* other)
{
    graphic_ = other ? other->graphic_ : nullptr;
    changed();
}

void TPicture::setGraphic(Bitmap&& bitmap)
{
    graphic_ = std::make_shared<const Bitmap>(std::move(bitmap));
    changed();
}

void TPicture::clear()
{
    graphic_.reset();
    changed();
}

void TPicture::changed()
{
    if (onChange_)
        onChange_();
}

} // namespace lmvo
