#include "transition/engine/FrameRenderer.h"

#include "raster/Draw.h"
#include "transition/engine/FrameGeometry.h"
#include "transition/engine/RectStyles.h"
#include "transition/engine/RegionStyles.h"

namespace lmvo {

namespace {

// An intermediate copy of a rectangle style, followed at once by the invalidation of what it
// painted. A mirrored copy covers its destination and two more lines past the far edge along
// the flipped axis (the stretch-copy rule for negative extents); those lines are invalidated
// too, or the screen would lag the frame there.
void intermediateCopy(FrameHost& host, const FrameBuffers& b, const StyleCopy& c)
{
    Rect painted = c.dst;
    switch (c.flip) {
    case Flip::None:
        b.display.copyRect(c.dst, b.newBitmap, c.src);
        break;
    case Flip::Horizontal:
        MirrorCopy(b.display, c.dst, b.newBitmap, c.src, true, false);
        painted.right += 2;
        break;
    case Flip::Vertical:
        MirrorCopy(b.display, c.dst, b.newBitmap, c.src, false, true);
        painted.bottom += 2;
        break;
    }
    host.invalidateArea(painted);
}

} // namespace

bool composeFrame(FrameHost& host, const FrameBuffers& b, int style, int step, std::uint8_t& progress, Random& rnd)
{
    // A clip that a custom-draw handler left behind belongs to its own frame only.
    b.display.removeClip();
    b.display.draw(0, 0, b.oldBitmap);

    const std::int32_t W = b.newBitmap.width();
    const std::int32_t H = b.newBitmap.height();
    const Rect whole{0, 0, W, H};
    StyleCopy final{whole, whole};
    OptRegion rgn;
    bool regionPath = false;

    if (style == 0) {
        regionPath = true;
        if (host.customDraw(b.newBitmap, b.display)) {
            if (!host.transitionGoesOn())
                return false;
        } else {
            progress = 100;
        }
    } else if (style >= FirstRectStyle && style <= LastRectStyle) {
        const FrameGeometry g = FrameGeometry::of(W, H, progress, step);
        const RectStylePlan plan = *rectStylePlan(style, g);
        for (int i = 0; i < plan.copyCount; ++i)
            intermediateCopy(host, b, plan.copies[std::size_t(i)]);
        final = plan.final;
    } else if (style >= FirstRegionStyle && style <= LastRegionStyle) {
        regionPath = true;
        rgn = regionStyleRegion(style, FrameGeometry::of(W, H, progress, step), rnd);
    } else {
        return false;
    }

    if (progress == 100) {
        b.display.draw(0, 0, b.newBitmap);
    } else if (progress > 0) {
        if (regionPath) {
            if (rgn)
                b.display.intersectClip(*rgn);
            b.display.draw(0, 0, b.newBitmap);
            b.display.removeClip();
        } else {
            b.display.copyRect(final.dst, b.newBitmap, final.src);
        }
    }

    // The frame at 100 shows the whole new picture; the style's rectangles need not cover it
    // all (the centre pixel of style 54 on odd sizes), so the whole picture is invalidated.
    host.invalidateArea(progress == 100 ? whole : final.dst);
    return true;
}

} // namespace lmvo
