#pragma once

#include "picture/PictureError.h"
#include "raster/Bitmap.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace lmvo {

// The picture container: holds at most one graphic, chosen when a file is loaded by the
// file's extension, and notifies its owner after every change. The graphic is immutable
// once loaded, so assigning one picture to another shares it.
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // Called after every change of the graphic.
    void setOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }

    // Loads a file; `path` is kept as native bytes. On failure throws PictureError and leaves
    // the previous graphic in place without notifying.
    void LoadFromFile(const std::string& path);
    // Copies the graphic of `other` (none clears this picture), then notifies.
    void Assign(const TPicture* other);
    // Replaces the graphic by a ready bitmap, then notifies.
    void setGraphic(Bitmap&& bitmap);
    void clear();

    [[nodiscard]] bool hasGraphic() const { return graphic_ != nullptr; }
    [[nodiscard]] std::int32_t width() const { return graphic_ ? graphic_->width() : 0; }
    [[nodiscard]] std::int32_t height() const { return graphic_ ? graphic_->height() : 0; }
    [[nodiscard]] const std::shared_ptr<const Bitmap>& graphic() const { return graphic_; }

private:
    void changed();

    std::shared_ptr<const Bitmap> graphic_;
    std::function<void()> onChange_;
};

} // namespace lmvo
