#include "transition/engine/RegionBuilders.h"

#include "transition/engine/Coord.h"

#include <vector>

namespace lmvo {

namespace {

// A strip in the coordinates of its pass: "along" is the axis the strips grow on (x for
// row strips), "across" the axis they are laid out on. Column passes exchange the two.
struct Strip {
    Coord along0, across0, along1, across1;
};

// The pieces of one builder call. Uniting the pieces one at a time costs time that grows
// with the square of their number on a large picture; a union does not depend on the order
// of its operands, so gathering every rectangle and building the region once gives the same
// pixels. A piece counts even when it is empty: the result is "none" only when no piece
// was made at all.
class Pieces {
public:
    // Row strips come first; the column pass switches the axes.
    void setColumns(bool columns) { columns_ = columns; }

    void add(const Strip& s)
    {
        rects_.push_back(toRect(s));
        made_ = true;
    }
    void add(const Strip& a, const Strip& b)
    {
        rects_.push_back(toRect(a));
        rects_.push_back(toRect(b));
        made_ = true;
    }
    [[nodiscard]] OptRegion result() const
    {
        if (!made_)
            return std::nullopt;
        return Region::fromRects(rects_);
    }

private:
    [[nodiscard]] Rect toRect(const Strip& s) const
    {
        // Unnormalised corners stay as they are: building the region normalises them the way
        // a rectangle region does.
        if (columns_)
            return Rect{limited(s.across0), limited(s.along0), limited(s.across1), limited(s.along1)};
        return Rect{limited(s.along0), limited(s.across0), limited(s.along1), limited(s.across1)};
    }

    std::vector<Rect> rects_;
    bool columns_ = false;
    bool made_ = false;
};

// One pass of the periodic strip builders. `extent` is how far the strips reach along
// `side`; `span` is the size across. The phase is decided once: an extent up to the side
// grows the strip at the start of each period, a larger one fills that strip and grows the
// next one. In the first phase the band snaps the extent to the side when it comes within a
// band of it, and the snapped extent stays for the rest of the pass.
void periodicPass(Pieces& pieces, Coord extent, Coord side, Coord span, Coord band, std::uint8_t mode,
                  Coord period)
{
    const Coord S = side;
    if (extent <= S) {
        Coord E = extent;
        for (Coord c = 0; c < span + 5; c += period) {
            if (E + band > S)
                E = S;
            switch (mode) {
            case 1:
            case 5:
                pieces.add({S - E, c, S, c + 5});
                break;
            case 2:
            case 4:
                pieces.add({0, c, E, c + 5});
                break;
            case 3:
                pieces.add({S - E, c, S, c + 5}, {0, c + 5, E, c + 10});
                break;
            default:
                break;
            }
        }
        return;
    }
    const Coord E = extent;
    for (Coord c = 5; c < span + 5; c += period) {
        switch (mode) {
        case 1:
        case 4:
            pieces.add({0, c - 5, S, c}, {2 * S - E, c, S, c + 5});
            break;
        case 2:
        case 5:
            pieces.add({0, c - 5, S, c}, {0, c, E - S, c + 5});
            break;
        default:
            break;
        }
    }
}

OptRegion periodicStrips(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::int32_t Band,
                         std::uint8_t RowMode, std::uint8_t ColumnMode, Coord period)
{
    Pieces pieces;
    periodicPass(pieces, X, W, H, Band, RowMode, period);
    pieces.setColumns(true);
    periodicPass(pieces, Y, H, W, Band, ColumnMode, period);
    return pieces.result();
}

// One jitter: the first draw is added, the second subtracted, in that order. The range is
// taken as an unsigned count, as the generator does.
Coord jitter(Random& rnd, Coord range)
{
    const Coord plus = std::int32_t(rnd.draw(std::uint32_t(range)));
    const Coord minus = std::int32_t(rnd.draw(std::uint32_t(range)));
    return plus - minus;
}

// One pass of the ragged builder: strips `step` apart, each 5 + (span mod 5) thick so that
// the last one reaches the far side, every free end displaced by a jitter of up to a seventh
// of the side until the extent has reached the side.
void raggedPass(Pieces& pieces, Coord extent, Coord side, Coord span, std::int32_t mode, Coord step,
                Random& rnd)
{
    const Coord S = side;
    const Coord E = extent;
    const Coord J = E < S ? S / 7 : 0;
    for (Coord c = 0; c < span; c += step) {
        const Coord c1 = c + 5 + span % 5;
        if (mode == 1) {
            pieces.add({S - E + jitter(rnd, J), c, S, c1});
        } else if (mode == 2) {
            pieces.add({0, c, E + jitter(rnd, J), c1});
        } else {
            const Coord j1 = jitter(rnd, J);
            const Coord j2 = jitter(rnd, J);
            if (mode == 3)
                pieces.add({(S - E + j1) / 2, c, S / 2, c1}, {S / 2, c, (S + E + j2) / 2, c1});
            else
                pieces.add({S - (E + j1) / 2, c, S, c1}, {0, c, (E + j2) / 2, c1});
        }
    }
}

} // namespace

OptRegion StripRegion(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::int32_t Band,
                      std::uint8_t RowMode, std::uint8_t ColumnMode)
{
    return periodicStrips(X, Y, W, H, Band, RowMode, ColumnMode, 10);
}

OptRegion SparseStripRegion(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::int32_t Band,
                            std::uint8_t RowMode, std::uint8_t ColumnMode)
{
    return periodicStrips(X, Y, W, H, Band, RowMode, ColumnMode, 25);
}

OptRegion RaggedStripRegion(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H,
                            std::int32_t RowMode, std::int32_t ColumnMode, Random& rnd)
{
    Pieces pieces;
    // Rows come thick and close together, columns thin and far apart: the bars are sparse.
    if (RowMode != 0)
        raggedPass(pieces, X, W, H, RowMode, 5, rnd);
    pieces.setColumns(true);
    if (ColumnMode != 0)
        raggedPass(pieces, Y, H, W, ColumnMode, 25, rnd);
    return pieces.result();
}

Region TriangleRegion(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t x3,
                      std::int32_t y3)
{
    return Region::CreateTriangleRgn(x1, y1, x2, y2, x3, y3);
}

} // namespace lmvo
