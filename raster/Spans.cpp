#include "raster/Spans.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// All geometry here works in doubled coordinates: a pixel centre (x + 0.5, y + 0.5) becomes
// the odd integer pair (2x + 1, 2y + 1) and every vertex or rectangle edge an even one. The
// membership tests are then exact integer comparisons (128-bit where products can exceed 64
// bits), so no result depends on floating-point rounding, however large the coordinates.

namespace lmvo {
namespace {

using i64 = std::int64_t;
using i128 = __int128;
using u128 = unsigned __int128;

// Floor and ceiling of n / d for d > 0.
template <typename T>
T floorDiv(T n, T d)
{
    const T q = n / d;
    return (n % d != 0 && n < 0) ? q - 1 : q;
}
template <typename T>
T ceilDiv(T n, T d)
{
    const T q = n / d;
    return (n % d != 0 && n > 0) ? q + 1 : q;
}

// Collects one span per row, top to bottom, and merges runs of equal rows into one band.
class BandBuilder {
public:
    void addRow(i64 y, i64 x0, i64 x1)
    {
        if (x1 <= x0)
            return;
        if (!bands_.empty()) {
            Rect& last = bands_.back();
            if (last.bottom == y && last.left == x0 && last.right == x1) {
                ++last.bottom;
                return;
            }
        }
        bands_.push_back(Rect{std::int32_t(x0), std::int32_t(y), std::int32_t(x1), std::int32_t(y + 1)});
    }
    void addBand(i64 y0, i64 y1, i64 x0, i64 x1)
    {
        if (y1 <= y0 || x1 <= x0)
            return;
        addRow(y0, x0, x1);
        bands_.back().bottom = std::int32_t(y1);
    }
    std::vector<Rect> take() { return std::move(bands_); }

private:
    std::vector<Rect> bands_;
};

// The largest d >= 0 with d^2 * b2 <= n (b2 > 0), found from a floating estimate and then
// corrected with exact integer comparisons. `cap` bounds d from above.
i64 largestRoot(u128 n, u128 b2, i64 cap)
{
    const long double est = std::sqrt(static_cast<long double>(n) / static_cast<long double>(b2));
    i64 d = std::clamp<i64>(static_cast<i64>(est), 0, cap);
    while (d > 0 && u128(d) * u128(d) * b2 > n)
        --d;
    while (d < cap && u128(d + 1) * u128(d + 1) * b2 <= n)
        ++d;
    return d;
}

} // namespace

std::vector<Rect> roundRectSpans(const Rect& r, std::int32_t ew, std::int32_t eh)
{
    BandBuilder out;
    const i64 l = r.left, t = r.top, rt = r.right, b = r.bottom;
    if (rt <= l || b <= t)
        return {};
    // Doubled centres of the four corner ellipses; ew and eh are the doubled semi-axes.
    const i64 a = std::clamp<i64>(ew, 0, rt - l), e = std::clamp<i64>(eh, 0, b - t);
    const i64 cxl = 2 * l + a, cxr = 2 * rt - a;
    const i64 cyt = 2 * t + e, cyb = 2 * b - e;
    const u128 a2 = u128(a) * u128(a), e2 = u128(e) * u128(e);

    // Row y of a corner zone, dy doubled units from the ellipse centres' row: the pixels whose
    // centres X satisfy (X - cx)^2 * e^2 + dy^2 * a^2 <= a^2 * e^2 at either side.
    auto cornerRow = [&](i64 y, i64 dy) {
        const i64 d = largestRoot(a2 * (e2 - u128(dy) * u128(dy)), e2, a);
        const i64 x0 = std::max(l, ceilDiv<i64>(cxl - d - 1, 2));
        const i64 x1 = std::min(rt, floorDiv<i64>(cxr + d - 1, 2) + 1);
        out.addRow(y, x0, x1);
    };

    // Top corner rows: centre rows 2y + 1 above cyt. Within a row in the rectangle dy < e,
    // so every corner row has at least the pixels on the centre column.
    i64 y = t;
    for (; y < b && 2 * y + 1 < cyt; ++y)
        cornerRow(y, cyt - (2 * y + 1));
    // Middle rows run the full width: find the first row below it (centre past cyb).
    const i64 firstBottom = std::max(y, floorDiv<i64>(cyb - 1, 2) + 1); // smallest y with 2y + 1 > cyb
    out.addBand(y, std::min(b, firstBottom), l, rt);
    for (y = std::max(y, firstBottom); y < b; ++y)
        cornerRow(y, (2 * y + 1) - cyb);
    return out.take();
}

namespace {

// Where an edge crosses successive row centres, as the ceiling of the crossing's doubled x,
// stepped without a division per row. With n / den the exact crossing, q = ceil(n / den) and
// n = q * den - r, 0 <= r < den; moving down one row adds s = 2 (xb - xa) to n.
class EdgeWalker {
public:
    // The edge from (xa, ya) down to (xb, yb), ya < yb, starting at row centre cy.
    EdgeWalker(i64 xa, i64 ya, i64 xb, i64 yb, i64 cy) : den_(yb - ya)
    {
        const i128 n = i128(xa) * den_ + i128(cy - ya) * (xb - xa);
        q_ = i64(ceilDiv<i128>(n, den_));
        r_ = i64(i128(q_) * den_ - n);
        const i64 s = 2 * (xb - xa);
        stepQ_ = floorDiv<i64>(s, den_);
        stepR_ = s - stepQ_ * den_;
    }
    [[nodiscard]] i64 ceiling() const { return q_; }
    void next()
    {
        q_ += stepQ_;
        r_ -= stepR_;
        if (r_ < 0) {
            r_ += den_;
            ++q_;
        }
    }

private:
    i64 den_, q_ = 0, r_ = 0, stepQ_ = 0, stepR_ = 0;
};

// A centre X (odd) is inside when left <= X < right, that is X >= ceil(left) and
// X < ceil(right); so x runs from ceil((cl - 1) / 2) to ceil((cr - 1) / 2), exclusive.
void addTriangleRow(BandBuilder& out, i64 y, i64 c1, i64 c2)
{
    const i64 cl = std::min(c1, c2), cr = std::max(c1, c2);
    out.addRow(y, ceilDiv<i64>(cl - 1, 2), ceilDiv<i64>(cr - 1, 2));
}

} // namespace

std::vector<Rect> triangleSpans(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                std::int32_t x3, std::int32_t y3)
{
    // Collinear (or coincident) points enclose nothing.
    const i64 cross = (i64(x2) - x1) * (i64(y3) - y1) - (i64(y2) - y1) * (i64(x3) - x1);
    if (cross == 0)
        return {};
    // Doubled vertices, top to bottom. Row centres (odd) never meet a vertex row (even), so
    // every row between the top and the bottom vertex crosses exactly two edges: the long
    // edge from top to bottom and one of the two short ones.
    struct P {
        i64 x, y;
    };
    P v[3] = {{2 * i64(x1), 2 * i64(y1)}, {2 * i64(x2), 2 * i64(y2)}, {2 * i64(x3), 2 * i64(y3)}};
    std::sort(std::begin(v), std::end(v), [](const P& a, const P& b) { return a.y < b.y; });

    BandBuilder out;
    i64 y = v[0].y / 2;
    EdgeWalker longEdge(v[0].x, v[0].y, v[2].x, v[2].y, 2 * y + 1);
    if (v[1].y > v[0].y) {
        EdgeWalker upper(v[0].x, v[0].y, v[1].x, v[1].y, 2 * y + 1);
        for (; 2 * y + 1 < v[1].y; ++y, longEdge.next(), upper.next())
            addTriangleRow(out, y, longEdge.ceiling(), upper.ceiling());
    }
    if (v[2].y > v[1].y) {
        EdgeWalker lower(v[1].x, v[1].y, v[2].x, v[2].y, 2 * y + 1);
        for (; 2 * y + 1 < v[2].y; ++y, longEdge.next(), lower.next())
            addTriangleRow(out, y, longEdge.ceiling(), lower.ceiling());
    }
    return out.take();
}

} // namespace lmvo
