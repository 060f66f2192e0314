#pragma once

/// @file
/// What a custom-draw handler draws on.

#include <lumivo/Export.h>

#include <QImage>
#include <QRegion>

namespace lmvo {

class Bitmap;

/// One of the two pictures of a frame of style 0, as a custom-draw handler sees it: the
/// new picture, or the screen (the frame being composed, which holds the old picture when the
/// handler is called). Valid only during the handler.
///
/// After the handler, the renderer draws the new picture onto the screen through the clip
/// that the handler left on the screen (everywhere when it left none), except at progress 0.
class LUMIVO_EXPORT FrameCanvas {
public:
    FrameCanvas(const FrameCanvas&) = delete;
    FrameCanvas& operator=(const FrameCanvas&) = delete;

    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;
    /// The pixels as a Format_RGB32 image that draws straight into the canvas: paint on it
    /// with a QPainter, and keep no copy of it past the handler.
    [[nodiscard]] QImage image();
    /// Narrows the clip to `region` (the first call sets it).
    void intersectClip(const QRegion& region);
    /// Removes the clip.
    void removeClip();

private:
    friend class FrameHostOfView;
    friend class TTransitionViewPrivate;
    explicit FrameCanvas(Bitmap& bitmap) : bitmap_(bitmap) {}

    Bitmap& bitmap_;
};

} // namespace lmvo
