#pragma once

#include "raster/Bitmap.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace lmvo {

// A picture that could not be loaded: the text says why, in words a user can act on.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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

// Refuses, before any pixel is decoded, a picture whose transition buffers could not be had:
// more than 2^28 pixels, or four buffers of 4 bytes a pixel taking more than half of the
// memory the system reports available. Throws PictureError.
void checkPictureSize(std::int64_t width, std::int64_t height);
// The same against a given amount of available memory in bytes (none: not checked).
void checkPictureSize(std::int64_t width, std::int64_t height, std::optional<std::uint64_t> availableMemory);

// Decodes an image file held in memory by its extension (lower-cased, without the dot).
// Throws PictureError. `name` is used in messages only.
[[nodiscard]] Bitmap decodePicture(const std::string& extension, const std::string& data, const std::string& name);

} // namespace lmvo
