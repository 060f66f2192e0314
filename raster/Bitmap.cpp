#include "raster/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include <sys/mman.h>

// Drawing discipline: the public operations normalise, clip (to the bitmap, to the source and
// to every rectangle of the clip region) and build index tables; the inner loops below only
// move pixels inside rectangles that are known to be valid.
//
// Stretch rule, per axis. With source origin S0, source extent Sw > 0 and destination
// extent D != 0, the destination pixel at distance t (0 <= t < |D|) from the destination
// origin X -- pixel X + t when D > 0, pixel X - t when D < 0, so that origin X with extent -N
// covers X - N + 1 ... X -- takes the source index
//     S0 + floor((2t + 1) * Sw / (2 |D|)),
// the source pixel under the centre of the destination pixel. Destination pixels whose source
// index lies outside the source bitmap are left as they are.

namespace lmvo {
namespace {

using i64 = std::int64_t;
using u64 = std::uint64_t;
using u128 = unsigned __int128;

// A half-open range of destination pixels along one axis and the source index of each.
struct AxisMap {
    i64 first = 0;                    // first destination pixel
    std::vector<std::int32_t> source; // source index of pixel first + i
    bool unitStep = false;            // source indices rise by exactly one per pixel
    bool unitStepBack = false;        // source indices fall by exactly one per pixel (a mirror)

    [[nodiscard]] i64 end() const { return first + i64(source.size()); }
    [[nodiscard]] bool empty() const { return source.empty(); }
};

// Maps the destination axis (origin x, extent d) onto the source axis (origin s0, extent sw),
// keeping only destination pixels inside [0, dstLimit) whose source lies in [0, srcLimit).
AxisMap mapAxis(i64 x, i64 d, i64 s0, i64 sw, i64 dstLimit, i64 srcLimit)
{
    AxisMap m;
    if (d == 0 || sw <= 0)
        return m;
    const u64 ad = u64(d < 0 ? -d : d);
    const i64 lo = std::max<i64>(0, d > 0 ? x : x + d + 1);
    const i64 hi = std::min<i64>(dstLimit, d > 0 ? x + d : x + 1);
    if (hi <= lo)
        return m;
    m.source.resize(std::size_t(hi - lo));
    // Walk t upwards from its smallest visible value; the quotient and remainder of
    // (2t + 1) * sw / (2 |d|) advance by those of 2 sw / (2 |d|), so no division per pixel.
    const i64 tFirst = d > 0 ? lo - x : x - (hi - 1);
    const u64 den = 2 * ad;
    const u128 num = (2 * u128(tFirst) + 1) * u128(sw);
    u64 q = u64(num / den), rem = u64(num % den);
    const u64 stepQ = u64(2 * sw) / den, stepR = u64(2 * sw) % den;
    i64 first = hi, last = lo - 1; // the valid destination pixels form one run (monotone map)
    for (i64 k = 0; k < hi - lo; ++k) {
        const i64 p = d > 0 ? lo + k : hi - 1 - k;
        const i64 s = s0 + i64(q);
        m.source[std::size_t(p - lo)] = std::int32_t(std::clamp<i64>(s, -1, srcLimit));
        if (s >= 0 && s < srcLimit) {
            first = std::min(first, p);
            last = std::max(last, p);
        }
        q += stepQ;
        rem += stepR;
        if (rem >= den) {
            rem -= den;
            ++q;
        }
    }
    if (last < first) {
        m.source.clear();
        return m;
    }
    m.source.erase(m.source.begin() + (last + 1 - lo), m.source.end());
    m.source.erase(m.source.begin(), m.source.begin() + (first - lo));
    m.first = first;
    m.unitStep = d > 0 && i64(ad) == sw;
    m.unitStepBack = d < 0 && i64(ad) == sw;
    return m;
}

// Calls fn(rect) for every part of `area` (already inside the bitmap) that the clip lets
// through.
template <typename F>
void forEachClipped(const std::optional<Region>& clip, const Rect& area, F&& fn)
{
    if (area.isEmpty())
        return;
    if (!clip) {
        fn(area);
        return;
    }
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(clip->native(), &n);
    for (int i = 0; i < n; ++i) {
        const Rect part = Rect{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2}.intersected(area);
        if (!part.isEmpty())
            fn(part);
    }
}

// A run of columns [left, right) on every row of a band.
struct ColumnRun {
    std::int32_t left, right;
};

// Calls fn(top, bottom, runs) for every band of the clip that meets `area` (already inside the
// bitmap), with the band's rectangles cut to `area` as column runs from left to right. A
// region's rectangles come in bands sharing top and bottom, so a caller can walk every row
// once and fill all its runs before the next: tall thin rectangles taken one by one would walk
// the whole height per rectangle at a full-row stride, which thrashes cache and TLB.
template <typename F>
void forEachClippedBand(const std::optional<Region>& clip, const Rect& area, F&& fn)
{
    if (area.isEmpty())
        return;
    if (!clip) {
        const ColumnRun whole{area.left, area.right};
        fn(area.top, area.bottom, std::span<const ColumnRun>(&whole, 1));
        return;
    }
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(clip->native(), &n);
    std::vector<ColumnRun> runs;
    for (int i = 0; i < n;) {
        int end = i + 1;
        while (end < n && boxes[end].y1 == boxes[i].y1 && boxes[end].y2 == boxes[i].y2)
            ++end;
        const std::int32_t top = std::max(boxes[i].y1, area.top);
        const std::int32_t bottom = std::min(boxes[i].y2, area.bottom);
        if (boxes[i].y1 >= area.bottom)
            break; // bands come sorted from top to bottom
        if (top < bottom) {
            runs.clear();
            for (int k = i; k < end; ++k) {
                const std::int32_t l = std::max(boxes[k].x1, area.left), r = std::min(boxes[k].x2, area.right);
                if (l < r)
                    runs.push_back(ColumnRun{l, r});
            }
            if (!runs.empty())
                fn(top, bottom, std::span<const ColumnRun>(runs));
        }
        i = end;
    }
}

// Rect of int64 coordinates limited to the bitmap (empty when disjoint).
Rect visiblePart(i64 l, i64 t, i64 r, i64 b, const Rect& bounds)
{
    const i64 nl = std::max<i64>(l, bounds.left), nt = std::max<i64>(t, bounds.top);
    const i64 nr = std::min<i64>(r, bounds.right), nb = std::min<i64>(b, bounds.bottom);
    if (nr <= nl || nb <= nt)
        return Rect{};
    return Rect{std::int32_t(nl), std::int32_t(nt), std::int32_t(nr), std::int32_t(nb)};
}

} // namespace

namespace {

const PixelAllocator* pixelAllocator = nullptr;

} // namespace

void BitmapPixelRelease::operator()(std::uint32_t* pixels) const
{
    if (borrowed)
        return;
    if (allocator)
        allocator->release(pixels, mappedBytes);
    else if (mappedBytes != 0)
        ::munmap(pixels, mappedBytes);
    else
        delete[] pixels;
}

void Bitmap::setPixelAllocator(const PixelAllocator* allocator) { pixelAllocator = allocator; }

Bitmap::Pixels Bitmap::allocatePixels(std::int32_t w, std::int32_t h)
{
    const std::size_t count = std::size_t(w) * std::size_t(h);
    if (pixelAllocator)
        if (std::uint32_t* pixels = pixelAllocator->allocate(count * 4))
            return Pixels(pixels, BitmapPixelRelease{count * 4, false, pixelAllocator});
    return Pixels(std::make_unique_for_overwrite<std::uint32_t[]>(count).release(), BitmapPixelRelease{});
}

Bitmap Bitmap::adoptMapping(std::int32_t width, std::int32_t height, void* mapping, std::size_t bytes)
{
    Bitmap out;
    out.pixels_ = Pixels(static_cast<std::uint32_t*>(mapping), BitmapPixelRelease{bytes});
    out.width_ = width;
    out.height_ = height;
    return out;
}

Bitmap Bitmap::wrap(std::int32_t width, std::int32_t height, const std::uint32_t* rows,
                    std::shared_ptr<const void> owner)
{
    Bitmap b;
    if (width <= 0 || height <= 0 || !rows)
        return b;
    b.width_ = width;
    b.height_ = height;
    // Never written through: wrapped bitmaps are handed out only as const.
    b.pixels_ = Pixels(const_cast<std::uint32_t*>(rows), BitmapPixelRelease{0, true});
    b.owner_ = std::move(owner);
    return b;
}

Bitmap::Bitmap(std::int32_t width, std::int32_t height)
    : width_(std::max(width, 0)), height_(std::max(height, 0))
{
    if (isEmpty())
        return;
    pixels_ = allocatePixels(width_, height_);
    std::fill_n(pixels_.get(), std::size_t(width_) * std::size_t(height_), pixelOf(0));
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0)),
      pixels_(std::move(other.pixels_)), owner_(std::move(other.owner_)), brush_(other.brush_),
      clip_(std::move(other.clip_))
{
    other.clip_.reset();
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept
{
    if (this != &other) {
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        pixels_ = std::move(other.pixels_);
        owner_ = std::move(other.owner_);
        brush_ = other.brush_;
        clip_ = std::move(other.clip_);
        other.clip_.reset();
    }
    return *this;
}

Bitmap Bitmap::clone() const
{
    Bitmap out;
    out.width_ = width_;
    out.height_ = height_;
    out.brush_ = brush_;
    out.clip_ = clip_;
    if (pixels_) {
        out.pixels_ = allocatePixels(width_, height_);
        std::memcpy(out.pixels_.get(), pixels_.get(), std::size_t(width_) * std::size_t(height_) * 4);
    }
    return out;
}

void Bitmap::renew()
{
    brush_ = Bitmap{}.brush_;
    clip_.reset();
    std::fill_n(pixels_.get(), std::size_t(width_) * std::size_t(height_), pixelOf(0));
}

void Bitmap::setSize(std::int32_t width, std::int32_t height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return;
    Pixels fresh;
    if (width > 0 && height > 0) {
        fresh = allocatePixels(width, height);
        const std::uint32_t fill = pixelOf(brush_);
        const std::int32_t keepW = std::min(width, width_), keepH = std::min(height, height_);
        for (std::int32_t y = 0; y < height; ++y) {
            std::uint32_t* row = fresh.get() + std::size_t(y) * width;
            const std::int32_t kept = y < keepH ? keepW : 0;
            if (kept > 0)
                std::memcpy(row, scanLine(y), std::size_t(kept) * 4);
            std::fill(row + kept, row + width, fill);
        }
    }
    pixels_ = std::move(fresh);
    owner_.reset();
    width_ = width;
    height_ = height;
}

void Bitmap::fillRect(const Rect& r, Color c)
{
    const std::uint32_t p = pixelOf(c);
    forEachClipped(clip_, r.intersected(bounds()), [&](const Rect& part) {
        for (std::int32_t y = part.top; y < part.bottom; ++y)
            std::fill(scanLine(y) + part.left, scanLine(y) + part.right, p);
    });
}

void Bitmap::draw(std::int32_t x, std::int32_t y, const Bitmap& src)
{
    if (src.isEmpty() || isEmpty())
        return;
    if (&src == this) {
        // Reading while writing the same rows would smear: draw from a snapshot instead.
        const Bitmap snapshot = clone();
        draw(x, y, snapshot);
        return;
    }
    const Rect area = visiblePart(x, y, i64(x) + src.width_, i64(y) + src.height_, bounds());
    forEachClippedBand(clip_, area, [&](std::int32_t top, std::int32_t bottom, std::span<const ColumnRun> runs) {
        for (std::int32_t row = top; row < bottom; ++row) {
            std::uint32_t* out = scanLine(row);
            const std::uint32_t* in = src.scanLine(row - y);
            for (const ColumnRun& run : runs)
                std::memcpy(out + run.left, in + (run.left - x), std::size_t(run.right - run.left) * 4);
        }
    });
}

void Bitmap::stretchDraw(const Rect& dst, const Bitmap& src)
{
    stretchCopy(dst.left, dst.top, i64(dst.right) - dst.left, i64(dst.bottom) - dst.top, src, 0, 0, src.width_,
                src.height_);
}

void Bitmap::copyRect(const Rect& dst, const Bitmap& src, const Rect& srcRect)
{
    // A rectangle's extents can exceed 32 bits (right - left of extreme coordinates).
    stretchCopy(dst.left, dst.top, i64(dst.right) - dst.left, i64(dst.bottom) - dst.top, src, srcRect.left,
                srcRect.top, i64(srcRect.right) - srcRect.left, i64(srcRect.bottom) - srcRect.top);
}

void Bitmap::stretchBlt(std::int32_t dx, std::int32_t dy, std::int32_t dw, std::int32_t dh, const Bitmap& src,
                        std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh)
{
    stretchCopy(dx, dy, dw, dh, src, sx, sy, sw, sh);
}

void Bitmap::stretchCopy(i64 dx, i64 dy, i64 dw, i64 dh, const Bitmap& src, i64 sx, i64 sy, i64 sw, i64 sh)
{
    if (src.isEmpty() || isEmpty() || dw == 0 || dh == 0 || sw <= 0 || sh <= 0)
        return;
    if (&src == this) {
        const Bitmap snapshot = clone();
        stretchCopy(dx, dy, dw, dh, snapshot, sx, sy, sw, sh);
        return;
    }
    const AxisMap cols = mapAxis(dx, dw, sx, sw, width_, src.width_);
    const AxisMap rows = mapAxis(dy, dh, sy, sh, height_, src.height_);
    if (cols.empty() || rows.empty())
        return;
    const Rect area{std::int32_t(cols.first), std::int32_t(rows.first), std::int32_t(cols.end()),
                    std::int32_t(rows.end())};
    forEachClipped(clip_, area, [&](const Rect& part) {
        const std::size_t n = std::size_t(part.width());
        const std::int32_t* colIndex = cols.source.data() + (part.left - cols.first);
        for (std::int32_t y = part.top; y < part.bottom; ++y) {
            const std::int32_t srcRow = rows.source[std::size_t(y - rows.first)];
            std::uint32_t* out = scanLine(y) + part.left;
            if (y > part.top && rows.source[std::size_t(y - 1 - rows.first)] == srcRow) {
                // The row above came from the same source row: copy it whole.
                std::memcpy(out, out - width_, n * 4);
                continue;
            }
            const std::uint32_t* in = src.scanLine(srcRow);
            if (cols.unitStep) {
                std::memcpy(out, in + colIndex[0], n * 4);
                continue;
            }
            if (cols.unitStepBack) {
                std::reverse_copy(in + colIndex[n - 1], in + colIndex[0] + 1, out);
                continue;
            }
            for (std::size_t i = 0; i < n; ++i)
                out[i] = in[colIndex[i]];
        }
    });
}

void Bitmap::intersectClip(const Region& region)
{
    if (clip_)
        clip_->combine(region, CombineMode::And);
    else
        clip_ = region;
}

} // namespace lmvo
