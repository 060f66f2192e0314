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

// Spans of a triangle given in doubled coordinates, computed with the integer type T, which
// must hold products of two doubled coordinates without overflow.
template <typename T>
void triangleRows(const i64 (&px)[3], const i64 (&py)[3], BandBuilder& out)
{
    const i64 yMin = std::min({py[0], py[1], py[2]}) / 2;
    const i64 yMax = std::max({py[0], py[1], py[2]}) / 2;
    for (i64 y = yMin; y < yMax; ++y) {
        const i64 cy = 2 * y + 1;
        i64 c[2];
        int n = 0;
        for (int i = 0; i < 3; ++i) {
            const int j = (i + 1) % 3;
            // Orient the edge downwards; a row centre (odd) never equals a vertex row (even).
            const bool down = py[i] < py[j];
            const i64 xa = down ? px[i] : px[j], ya = down ? py[i] : py[j];
            const i64 xb = down ? px[j] : px[i], yb = down ? py[j] : py[i];
            if (!(ya < cy && cy < yb) || n == 2)
                continue;
            // Crossing X = xa + (cy - ya) (xb - xa) / (yb - ya); keep its ceiling.
            const T den = T(yb - ya);
            const T num = T(xa) * den + T(cy - ya) * T(xb - xa);
            c[n++] = i64(ceilDiv<T>(num, den));
        }
        if (n != 2)
            continue;
        // A centre X (odd) is inside when left <= X < right, which is X >= ceil(left) and
        // X < ceil(right); so x runs from ceil((cl - 1) / 2) to ceil((cr - 1) / 2), exclusive.
        const i64 cl = std::min(c[0], c[1]), cr = std::max(c[0], c[1]);
        out.addRow(y, ceilDiv<i64>(cl - 1, 2), ceilDiv<i64>(cr - 1, 2));
    }
}

} // namespace

std::vector<Rect> triangleSpans(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                std::int32_t x3, std::int32_t y3)
{
    // Collinear (or coincident) points enclose nothing.
    const i64 cross = (i64(x2) - x1) * (i64(y3) - y1) - (i64(y2) - y1) * (i64(x3) - x1);
    if (cross == 0)
        return {};
    const i64 px[3] = {2 * i64(x1), 2 * i64(x2), 2 * i64(x3)};
    const i64 py[3] = {2 * i64(y1), 2 * i64(y2), 2 * i64(y3)};
    BandBuilder out;
    // Doubled coordinates below 2^29 keep every product below 2^61: 64 bits are enough.
    constexpr i64 small = i64(1) << 29;
    const bool fits = std::all_of(std::begin(px), std::end(px), [](i64 v) { return v > -small && v < small; })
                      && std::all_of(std::begin(py), std::end(py), [](i64 v) { return v > -small && v < small; });
    if (fits)
        triangleRows<i64>(px, py, out);
    else
        triangleRows<i128>(px, py, out);
    return out.take();
}

} // namespace lmvo
