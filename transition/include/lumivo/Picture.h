#pragma once

/// @file
/// The picture container of the transition view.

#include <lumivo/Export.h>

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace lmvo {

class Bitmap;

/// Holds at most one picture and notifies its owner after every change.
///
/// The picture is immutable once set, so assigning one container to another shares it, and a
/// QImage handed in is shared, not copied, when it already is Format_RGB32.
class LUMIVO_EXPORT TPicture {
public:
    TPicture();
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    /// Called after every change of the picture.
    void setOnChange(std::function<void()> handler);

    /// Loads a file (`path` in the file system's own bytes) by its extension: JPEG, PNG, GIF,
    /// BMP, TIFF, WebP, HEIF/HEIC, AVIF, JPEG XL and the other formats Lumivo shows, upright by
    /// the file's orientation and in sRGB. The file is decoded in a separate process under a
    /// memory ceiling and a system-call filter (lmvo-decode, installed with the library), so a
    /// hostile file cannot harm the calling program. On failure throws a std::runtime_error
    /// whose text names the file, and keeps the previous picture without notifying.
    void LoadFromFile(const std::string& path);
    /// The same without exceptions: false on failure, with the reason in `errorMessage`.
    bool load(const QString& fileName, QString* errorMessage = nullptr);
    /// Copies the picture of `other` (none clears this one), then notifies.
    void Assign(const TPicture* other);
    /// Takes a copy of `image` (shared when it is Format_RGB32); transparency is composed
    /// over black. A null image clears the picture. Then notifies.
    void setImage(const QImage& image);
    /// Empties the container, then notifies.
    void clear();

    [[nodiscard]] bool hasGraphic() const;
    [[nodiscard]] std::int32_t width() const;
    [[nodiscard]] std::int32_t height() const;
    /// The picture as a Format_RGB32 image (a null image when there is none).
    [[nodiscard]] QImage toImage() const;

private:
    friend class PictureGraphic;
    LUMIVO_NO_EXPORT void changed();

    std::shared_ptr<const Bitmap> graphic_;
    std::function<void()> onChange_;
};

} // namespace lmvo
