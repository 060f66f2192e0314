#include "transition/engine/RegionStyles.h"

#include "transition/engine/Coord.h"
#include "transition/engine/RegionBuilders.h"

#include <vector>

namespace lmvo {

namespace {

struct Pt {
    Coord x, y;
};

// Combines `second` into `first`. A missing operand leaves the other as it is, the way a
// failed combination leaves its destination.
OptRegion combined(OptRegion first, const OptRegion& second, CombineMode mode)
{
    if (first && second)
        first->combine(*second, mode);
    return first;
}

constexpr CombineMode Or = CombineMode::Or;
constexpr CombineMode And = CombineMode::And;
constexpr CombineMode Xor = CombineMode::Xor;

// The regions of one frame, written in the notation of the style table: the quantities of
// the frame are in scope under their usual names, as 64-bit numbers, and each shape is one
// short call that limits its coordinates.
class StyleRegions {
public:
    StyleRegions(const FrameGeometry& g, Random& rnd)
        : W(g.W), H(g.H), Px(g.Px), Py(g.Py), B(g.B), w_(g.W), h_(g.H), rnd_(rnd)
    {
    }

    OptRegion of(int style);

private:
    static Region rect(Coord l, Coord t, Coord r, Coord b)
    {
        return Region::CreateRectRgn(limited(l), limited(t), limited(r), limited(b));
    }
    static Region rrect(Coord l, Coord t, Coord r, Coord b, Coord ew, Coord eh)
    {
        return Region::CreateRoundRectRgn(limited(l), limited(t), limited(r), limited(b), limited(ew), limited(eh));
    }
    static Region tri(Pt a, Pt b, Pt c)
    {
        return TriangleRegion(limited(a.x), limited(a.y), limited(b.x), limited(b.y), limited(c.x), limited(c.y));
    }

    OptRegion Strip(Coord X, Coord Y, Coord Band, std::uint8_t rows, std::uint8_t cols) const
    {
        return StripRegion(limited(X), limited(Y), w_, h_, limited(Band), rows, cols);
    }
    OptRegion Sparse(Coord X, Coord Y, Coord Band, std::uint8_t rows, std::uint8_t cols) const
    {
        return SparseStripRegion(limited(X), limited(Y), w_, h_, limited(Band), rows, cols);
    }
    OptRegion Ragged(Coord X, Coord Y, std::int32_t rows, std::int32_t cols)
    {
        return RaggedStripRegion(limited(X), limited(Y), w_, h_, rows, cols, rnd_);
    }

    OptRegion pinwheel() const;
    OptRegion mosaic() const;

    const Coord W, H, Px, Py, B;
    const std::int32_t w_, h_; // the picture's size as the builders take it
    Random& rnd_;
};

// A composite region: the second-named region is made first, then the first-named one is
// made and the second combined into it. Each composite case is written out in that order.
OptRegion StyleRegions::of(int style)
{
    switch (style) {
    case 58: return rrect(-2 * W, -5, 2 * Px, H + 5, 2 * W, 2 * W);
    case 59: return rrect(W - 2 * Px, -5, 3 * W, H + 5, 2 * W, 2 * W);
    case 60: return Strip(2 * Px, 0, B, 1, 0);
    case 61: return Strip(2 * Px, 0, B, 2, 0);
    case 62: return Strip(2 * Px, 0, B, 4, 0);
    case 63: return Strip(2 * Px, 0, B, 5, 0);
    case 64: return Strip(Px, 0, 0, 3, 0);
    case 65: return Ragged(Px, 0, 1, 0);
    case 66: return Ragged(Px, 0, 2, 0);
    case 67: return Ragged(Px, 0, 3, 0);
    case 68: return Ragged(Px, 0, 4, 0);
    case 69: return rrect(-5, -2 * H, W + 5, 2 * Py, 2 * H, 2 * H);
    case 70: return rrect(-5, H - 2 * Py, W + 5, 3 * H, 2 * H, 2 * H);
    case 71: return Strip(0, 2 * Py, B, 0, 1);
    case 72: return Strip(0, 2 * Py, B, 0, 2);
    case 73: return Strip(0, 2 * Py, B, 0, 4);
    case 74: return Strip(0, 2 * Py, B, 0, 5);
    case 75: return Strip(0, Py, 0, 0, 3);
    case 76: return Ragged(0, Py, 0, 1);
    case 77: return Ragged(0, Py, 0, 2);
    case 78: return Ragged(0, Py, 0, 3);
    case 79: return Ragged(0, Py, 0, 4);
    case 80: return rrect(-2 * W, -2 * H, 2 * Px, 2 * Py, 2 * W, 2 * H);
    case 81: return rrect(W - 2 * Px, -2 * H, 3 * W, 2 * Py, 2 * W, 2 * H);
    case 82: return rrect(-2 * W, H - 2 * Py, 2 * Px, 3 * H, 2 * W, 2 * H);
    // The only corner front whose ellipse is 2H x 2H rather than 2W x 2H.
    case 83: return rrect(W - 2 * Px, H - 2 * Py, 3 * W, 3 * H, 2 * H, 2 * H);
    case 84: return rrect(half(W) - Px, half(H) - Py, half(W) + Px, half(H) + Py, 9 * Px / 5, 9 * Py / 5);
    case 85: { const Region second = rect(0, 0, W, H);
               return combined(rrect(Px - half(W), Py - half(H), half(3 * W) - Px, half(3 * H) - Py,
                                     9 * (W - Px) / 5, 9 * (H - Py) / 5), second, Xor); }
    case 86: return Sparse(2 * Px, 2 * Py, B, 1, 1);
    case 87: return Sparse(2 * Px, 2 * Py, B, 1, 2);
    case 88: return Sparse(2 * Px, 2 * Py, B, 2, 1);
    case 89: return Sparse(2 * Px, 2 * Py, B, 2, 2);
    case 90: return Sparse(2 * Px, 2 * Py, B, 4, 4);
    case 91: return Sparse(2 * Px, 2 * Py, B, 4, 5);
    case 92: return Sparse(2 * Px, 2 * Py, B, 5, 4);
    case 93: return Sparse(2 * Px, 2 * Py, B, 5, 5);
    case 94: return Sparse(Px, Py, B, 1, 3);
    case 95: return Sparse(Px, Py, B, 2, 3);
    case 96: return Sparse(Px, Py, B, 3, 1);
    case 97: return Sparse(Px, Py, B, 3, 2);
    case 98: return Sparse(Px, Py, 0, 3, 3);
    case 99: { const OptRegion second = Sparse(2 * Px, 2 * Py, B, 1, 1);
               return combined(Sparse(2 * Px, 2 * Py, B, 2, 2), second, And); }
    case 100: return Ragged(Px, Py, 1, 1);
    case 101: return Ragged(Px, Py, 1, 2);
    case 102: return Ragged(Px, Py, 2, 1);
    case 103: return Ragged(Px, Py, 2, 2);
    case 104: return Ragged(Px, Py, 1, 3);
    case 105: return Ragged(Px, Py, 2, 3);
    case 106: return Ragged(Px, Py, 3, 1);
    case 107: return Ragged(Px, Py, 3, 2);
    case 108: return Ragged(Px, Py, 3, 3);
    case 109: return Ragged(Px, Py, 4, 4);
    case 110: return tri({0, 0}, {2 * Px, 0}, {0, 2 * Py});
    case 111: return tri({W, 0}, {W - 2 * Px, 0}, {W, 2 * Py});
    case 112: return tri({0, H}, {2 * Px, H}, {0, H - 2 * Py});
    case 113: return tri({W, H}, {W - 2 * Px, H}, {W, H - 2 * Py});
    case 114: { const Region second = tri({0, H}, {0, 0}, {Px, H});
                return combined(tri({W, H}, {W, 0}, {W - Px, 0}), second, Or); }
    case 115: { const Region second = tri({W, 0}, {0, 0}, {W, Py});
                return combined(tri({W, H}, {0, H}, {0, H - Py}), second, Or); }
    case 116: return pinwheel();
    case 117: return mosaic();
    default: return std::nullopt;
    }
}

// Four triangles from the centre, each sweeping along one edge; the first is the region and
// the others are united into it one after the other.
OptRegion StyleRegions::pinwheel() const
{
    const Pt c{half(W), half(H)};
    Region rgn = tri(c, {0, H}, {0, H - Py});
    rgn.combine(tri({0, 0}, {Px, 0}, c), Or);
    rgn.combine(tri({W - Px, H}, c, {W, H}), Or);
    rgn.combine(tri(c, {W, 0}, {W, Py}), Or);
    return rgn;
}

// A right triangle in each cell of a 10 x 10 grid, its right angle at the cell's top-left
// corner and its legs q across and r down, in proportion to the picture. A triangle moved by
// whole pixels covers its pixels moved alike, so the triangle is scanned once and its rows
// placed in every cell; building the region once from all of them gives the pixels of
// uniting the hundred triangles one by one in far less time.
OptRegion StyleRegions::mosaic() const
{
    const Coord q = Px / 5;
    const Coord r = MulDiv(std::int32_t(q), h_, w_);
    const std::vector<Rect> shape = tri({0, 0}, {q, 0}, {0, r}).rects();
    std::vector<Rect> rects;
    rects.reserve(shape.size() * 100);
    for (Coord j = 0; j < 10; ++j) {
        for (Coord i = 0; i < 10; ++i) {
            const Coord xi = i * W / 10;
            const Coord yj = j * H / 10;
            for (const Rect& row : shape)
                rects.push_back(Rect{limited(row.left + xi), limited(row.top + yj), limited(row.right + xi),
                                     limited(row.bottom + yj)});
        }
    }
    return Region::fromRects(rects);
}

} // namespace

OptRegion regionStyleRegion(int style, const FrameGeometry& g, Random& rnd)
{
    return StyleRegions(g, rnd).of(style);
}

} // namespace lmvo
