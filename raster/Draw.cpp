#include "raster/Draw.h"

#include "raster/MulDiv.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace lmvo {
namespace {

using i64 = std::int64_t;

std::int32_t saturate(i64 v)
{
    return std::int32_t(
        std::clamp<i64>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// The tile indices whose tiles [origin + i * size, origin + (i + 1) * size) meet [0, limit),
// limited to 0 ... count - 1. Tiles wholly outside the canvas would draw nothing.
std::pair<i64, i64> visibleTiles(i64 origin, i64 size, i64 count, i64 limit)
{
    const i64 firstVisible = origin + size > 0 ? 0 : (-origin - size) / size + 1;
    const i64 lastVisible = origin >= limit ? -1 : (limit - 1 - origin) / size;
    return {std::max<i64>(firstVisible, 0), std::min(lastVisible, count - 1)};
}

} // namespace

Rect FitRect(const Rect& s, const Rect& b)
{
    const i64 sw = i64(s.right) - s.left, sh = i64(s.bottom) - s.top;
    const i64 bw = i64(b.right) - b.left, bh = i64(b.bottom) - b.top;
    if (sw == 0 || sh == 0)
        return Rect{b.left, b.top, b.left, b.top}; // no aspect ratio to keep
    i64 w = 0, h = 0;
    // The quotients are compared as floating-point numbers; on a tie the height limits.
    if (double(bh) / double(sh) > double(bw) / double(sw)) {
        w = bw;
        h = MulDiv(std::int32_t(sh), std::int32_t(bw), std::int32_t(sw));
    } else {
        w = MulDiv(std::int32_t(sw), std::int32_t(bh), std::int32_t(sh));
        h = bh;
    }
    const i64 left = b.left + (bw - w) / 2, top = b.top + (bh - h) / 2;
    return Rect{saturate(left), saturate(top), saturate(left + w), saturate(top + h)};
}

void TileDraw(Bitmap& canvas, const Rect& r, const Bitmap* g)
{
    if (!g || g->isEmpty())
        return;
    const i64 gw = g->width(), gh = g->height();
    const i64 rows = (i64(r.bottom) - r.top) / gh + 1;
    const i64 cols = (i64(r.right) - r.left) / gw + 1;
    const auto [i0, i1] = visibleTiles(r.top, gh, rows, canvas.height());
    const auto [j0, j1] = visibleTiles(r.left, gw, cols, canvas.width());
    for (i64 i = i0; i <= i1; ++i)
        for (i64 j = j0; j <= j1; ++j)
            canvas.draw(std::int32_t(r.left + j * gw), std::int32_t(r.top + i * gh), *g);
}

void MirrorCopy(Bitmap& canvas, Rect d, const Bitmap& source, Rect s, bool flipHorizontally, bool flipVertically)
{
    s = s.intersected(source.bounds());
    i64 left = d.left, top = d.top, right = d.right, bottom = d.bottom;
    // Turning over moves the origin one past the far edge and the far edge one before the
    // origin, as the platform's mirrored stretch copy expects it.
    if (flipHorizontally) {
        left = i64(d.right) + 1;
        right = i64(d.left) - 1;
    }
    if (flipVertically) {
        top = i64(d.bottom) + 1;
        bottom = i64(d.top) - 1;
    }
    canvas.stretchBlt(saturate(left), saturate(top), saturate(right - left), saturate(bottom - top), source, s.left,
                      s.top, s.width(), s.height());
}

} // namespace lmvo
