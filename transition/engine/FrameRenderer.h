#pragma once

#include "raster/Bitmap.h"
#include "raster/Rect.h"

#include <lumivo/Random.h>

#include <cstdint>

namespace lmvo {

// What the frame renderer needs from the control that hosts it.
class FrameHost {
public:
    virtual ~FrameHost() = default;
    // Marks a rectangle of the picture (DisplayBitmap coordinates) for repainting.
    virtual void invalidateArea(const Rect& area) = 0;
    // Style 0: raises the custom-draw event with the new picture and the screen and returns
    // true, or returns false when no handler is assigned. The handler may draw on `screen`
    // and leave a clip region on it.
    virtual bool customDraw(Bitmap& picture, Bitmap& screen) = 0;
    // Asked after the custom-draw handler: false when the handler ended the transition, in
    // which case the frame is abandoned where it is.
    [[nodiscard]] virtual bool transitionGoesOn() const { return true; }
};

// The buffers of one frame; all three have the same size.
struct FrameBuffers {
    Bitmap& display;
    const Bitmap& oldBitmap;
    Bitmap& newBitmap;
};

// Composes the frame of `style` at `progress` into `display`: the old picture, then as much
// of the new one as the style's geometry uncovers; invalidates what changed through the host.
// Style 0 without a handler shows the whole new picture and sets `progress` to 100.
// Returns false when the frame needs no repaint (a style above 117, which leaves only the old
// picture, or a frame abandoned because its handler ended the transition).
bool composeFrame(FrameHost& host, const FrameBuffers& buffers, int style, int step, std::uint8_t& progress,
                  Random& rnd);

} // namespace lmvo
