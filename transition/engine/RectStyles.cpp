#include "transition/engine/RectStyles.h"

#include "raster/MulDiv.h"

namespace lmvo {

namespace {

// --- single-phase families: only the final pair, written (Dst, Src) ---

// The whole new picture squeezed into, or moved along with, a rectangle that grows or
// travels with the progress (stretch and slide styles).
RectStylePlan whole(const Rect& dst, const FrameGeometry& g)
{
    RectStylePlan p;
    p.final = StyleCopy{rectOfSize(g.W, g.H), dst};
    return p;
}

// The new picture uncovered in place: the same rectangle on both sides.
RectStylePlan wipe(const Rect& r)
{
    RectStylePlan p;
    p.final = StyleCopy{r, r};
    return p;
}

// A part of the new picture magnified over a destination that reaches past the frame and
// shrinks to the frame itself at 100.
RectStylePlan zoomOut(const Rect& dst, const Rect& src)
{
    RectStylePlan p;
    p.final = StyleCopy{src, dst};
    return p;
}

// --- multi-phase styles: intermediate copies in order, then the final pair, written
// (Src, Dst) ---
class Phases {
public:
    Phases& copy(const Rect& src, const Rect& dst) { return add({src, dst, Flip::None}); }
    Phases& copy(const Rect& inPlace) { return copy(inPlace, inPlace); }
    Phases& mirror(Flip flip, const Rect& src, const Rect& dst) { return add({src, dst, flip}); }

    RectStylePlan final(const Rect& src, const Rect& dst) const
    {
        RectStylePlan p = plan_;
        p.final = StyleCopy{src, dst};
        return p;
    }
    RectStylePlan final(const Rect& inPlace) const { return final(inPlace, inPlace); }

private:
    Phases& add(const StyleCopy& c)
    {
        plan_.copies[std::size_t(plan_.copyCount++)] = c;
        return *this;
    }
    RectStylePlan plan_;
};

// The width of the folded-back band ahead of the uncovered area: it grows from nothing to a
// tenth of the picture, keeps that width, and shrinks to nothing at the end, so the fold
// never needs a source band outside the picture.
constexpr std::int32_t foldWidth(std::int32_t extent, std::int32_t size)
{
    if (extent < size / 5)
        return half(extent);
    if (size - extent < size / 5)
        return half(size - extent);
    return size / 10;
}

} // namespace

std::optional<RectStylePlan> rectStylePlan(int style, const FrameGeometry& g)
{
    const std::int32_t W = g.W, H = g.H, Px = g.Px, Py = g.Py;
    const std::int32_t d = foldWidth(Px, W), e = foldWidth(Py, H);

    // clang-format off
    switch (style) {
    // Single phase: final (Dst, Src).
    case 1:  return whole({W - Px, 0, W, H}, g);                                  // stretch in from right
    case 2:  return whole({0, 0, Px, H}, g);                                      // stretch in from left
    case 3:  return whole({W - Px, 0, 2 * W - Px, H}, g);                         // slide in from right
    case 4:  return whole({Px - W, 0, Px, H}, g);                                 // slide in from left
    case 5:  return wipe({0, 0, Px, H});                                          // wipe from left
    case 6:  return wipe({W - Px, 0, W, H});                                      // wipe from right
    case 7:  return zoomOut({0, 0, 2 * W - Px, H}, {0, 0, Px, H});                // zoom out from left edge
    case 8:  return zoomOut({Px - W, 0, W, H}, {W - Px, 0, W, H});                // zoom out from right edge
    case 9:  return zoomOut({Px - W, 0, 2 * W - Px, H},
                            {half(W - Px), 0, half(W + Px), H});                  // zoom out from vertical centre line
    case 10: return whole({half(W - Px), 0, half(W + Px), H}, g);                 // stretch out from vertical centre line
    case 11: return wipe({half(W - Px), 0, half(W + Px), H});                     // wipe out from vertical centre line
    case 18: return whole({0, H - Py, W, H}, g);                                  // stretch in from bottom
    case 19: return whole({0, 0, W, Py}, g);                                      // stretch in from top
    case 20: return whole({0, H - Py, W, 2 * H - Py}, g);                         // slide in from bottom
    case 21: return whole({0, Py - H, W, Py}, g);                                 // slide in from top
    case 22: return wipe({0, 0, W, Py});                                          // wipe from top
    case 23: return wipe({0, H - Py, W, H});                                      // wipe from bottom
    case 24: return zoomOut({0, 0, W, 2 * H - Py}, {0, 0, W, Py});                // zoom out from top edge
    case 25: return zoomOut({0, Py - H, W, H}, {0, H - Py, W, H});                // zoom out from bottom edge
    case 26: return zoomOut({0, Py - H, W, 2 * H - Py},
                            {0, half(H - Py), W, half(H + Py)});                  // zoom out from horizontal centre line
    case 27: return whole({0, half(H - Py), W, half(H + Py)}, g);                 // stretch out from horizontal centre line
    case 28: return wipe({0, half(H - Py), W, half(H + Py)});                     // wipe out from horizontal centre line
    case 35: return whole({W - Px, H - Py, W, H}, g);                             // stretch in from bottom-right corner
    case 36: return whole({W - Px, 0, W, Py}, g);                                 // stretch in from top-right corner
    case 37: return whole({0, 0, Px, Py}, g);                                     // stretch in from top-left corner
    case 38: return whole({0, H - Py, Px, H}, g);                                 // stretch in from bottom-left corner
    case 39: return whole({W - Px, H - Py, 2 * W - Px, 2 * H - Py}, g);           // slide in from bottom-right
    case 40: return whole({W - Px, Py - H, 2 * W - Px, Py}, g);                   // slide in from top-right
    case 41: return whole({Px - W, Py - H, Px, Py}, g);                           // slide in from top-left
    case 42: return whole({Px - W, H - Py, Px, 2 * H - Py}, g);                   // slide in from bottom-left
    case 43: return wipe({0, 0, Px, Py});                                         // wipe from top-left corner
    case 44: return wipe({0, H - Py, Px, H});                                     // wipe from bottom-left corner
    case 45: return wipe({W - Px, H - Py, W, H});                                 // wipe from bottom-right corner
    case 46: return wipe({W - Px, 0, W, Py});                                     // wipe from top-right corner
    case 47: return zoomOut({0, 0, 2 * W - Px, 2 * H - Py}, {0, 0, Px, Py});      // zoom out from top-left corner
    case 48: return zoomOut({0, Py - H, 2 * W - Px, H}, {0, H - Py, Px, H});      // zoom out from bottom-left corner
    case 49: return zoomOut({Px - W, Py - H, W, H}, {W - Px, H - Py, W, H});      // zoom out from bottom-right corner
    case 50: return zoomOut({Px - W, 0, W, 2 * H - Py}, {W - Px, 0, W, Py});      // zoom out from top-right corner
    case 51: return zoomOut({Px - W, Py - H, 2 * W - Px, 2 * H - Py},
                            {half(W - Px), half(H - Py), half(W + Px), half(H + Py)}); // zoom out from centre
    case 52: return whole({half(W - Px), half(H - Py), half(W + Px), half(H + Py)}, g); // stretch out from centre
    case 53: return wipe({half(W - Px), half(H - Py), half(W + Px), half(H + Py)});     // wipe out from centre (box)

    // Multi-phase: copies in order, then the final pair, each (Src, Dst).
    case 12: return Phases{}                                                      // wipe in from left and right edges
        .copy({0, 0, half(Px) + 1, H})
        .final({W - half(Px) - 1, 0, W, H});
    case 13: return Phases{}                                                      // stretch in from left and right edges
        .copy({0, 0, half(W) + 1, H},              {0, 0, half(Px) + 1, H})
        .final({half(W), 0, W, H},                 {W - half(Px) - 1, 0, W, H});
    case 14: return Phases{}                                                      // wipe from left with mirrored fold
        .mirror(Flip::Horizontal, {Px + d, 0, Px + 2 * d, H},    {Px, 0, Px + d, H})
        .final({0, 0, Px, H});
    case 15: return Phases{}                                                      // wipe from right with mirrored fold
        .mirror(Flip::Horizontal, {W - Px - 2 * d, 0, W - Px - d, H}, {W - Px - d, 0, W - Px, H})
        .final({W - Px, 0, W, H});
    case 16: return Phases{}                                                      // wipe from left over a smeared edge
        .copy({0, 0, Px, H})
        .final({Px, 0, Px + W / 20, H},            {Px, 0, W, H});
    case 17: return Phases{}                                                      // wipe from right over a smeared edge
        .copy({W - Px, 0, W, H})
        .final({W - Px - W / 20, 0, W - Px, H},    {0, 0, W - Px, H});
    case 29: return Phases{}                                                      // wipe in from top and bottom
        .copy({0, 0, W, half(Py) + 1})
        .final({0, H - half(Py) - 1, W, H});
    case 30: return Phases{}                                                      // stretch in from top and bottom
        .copy({0, 0, W, half(H) + 1},              {0, 0, W, half(Py) + 1})
        .final({0, half(H), W, H},                 {0, H - half(Py) - 1, W, H});
    case 31: return Phases{}                                                      // wipe from top with mirrored fold
        .mirror(Flip::Vertical, {0, Py + e, W, Py + 2 * e},    {0, Py, W, Py + e})
        .final({0, 0, W, Py});
    case 32: return Phases{}                                                      // wipe from bottom with mirrored fold
        .mirror(Flip::Vertical, {0, H - Py - 2 * e, W, H - Py - e}, {0, H - Py - e, W, H - Py})
        .final({0, H - Py, W, H});
    case 33: return Phases{}                                                      // wipe from top over a smeared edge
        .copy({0, 0, W, Py})
        .final({0, Py, W, Py + H / 20},            {0, Py, W, H});
    case 34: return Phases{}                                                      // wipe from bottom over a smeared edge
        .copy({0, H - Py, W, H})
        .final({0, H - Py - H / 20, W, H - Py},    {0, 0, W, H - Py});
    case 54: return Phases{}                                                      // wipe in from all four edges
        .copy({0, 0, W, half(Py)})
        .copy({0, H - half(Py), W, H})
        .copy({0, 0, half(Px), H})
        .final({W - half(Px), 0, W, H});
    case 55: return Phases{}                                                      // wipe in from the four corners
        .copy({0, 0, half(Px) + 1, half(Py) + 1})
        .copy({0, H - half(Py) - 1, half(Px) + 1, H})
        .copy({W - half(Px) - 1, H - half(Py) - 1, W, H})
        .final({W - half(Px) - 1, 0, W, half(Py) + 1});
    case 56: return Phases{}                                                      // stretch in from the four corners
        .copy({0, 0, half(W) + 1, half(H) + 1},            {0, 0, half(Px) + 1, half(Py) + 1})
        .copy({0, half(H) + 1, half(W) + 1, H},            {0, H - half(Py), half(Px) + 1, H})
        .copy({half(W) + 1, half(H) + 1, W, H},            {W - half(Px), H - half(Py), W, H})
        .final({half(W) + 1, 0, W, half(H) + 1},           {W - half(Px), 0, W, half(Py) + 1});
    case 57: return Phases{}                                                      // quarters slide in, pinwheel
        .copy({0, 0, half(W) + 1, half(H) + 1},            {half(Px - W), 0, half(Px) + 1, half(H) + 1})
        .copy({half(W) - 1, 0, W, half(H) + 1},            {half(W) - 1, half(Py - H), W, half(Py) + 1})
        .copy({half(W) + 1, half(H) - 1, W, H},            {W - half(Px), half(H) - 1, W + half(W - Px), H})
        .final({0, half(H) + 1, half(W) + 1, H},           {0, H - half(Py), half(W) + 1, H + half(H - Py)});
    default: return std::nullopt;
    }
    // clang-format on
}

} // namespace lmvo
