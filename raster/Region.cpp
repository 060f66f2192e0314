#include "raster/Region.h"

#include "raster/Spans.h"

#include <algorithm>
#include <new>
#include <utility>

namespace lmvo {
namespace {

// pixman reports a failed allocation by returning false and leaving the region broken.
void check(pixman_bool_t ok)
{
    if (!ok)
        throw std::bad_alloc();
}

// Swapped coordinates describe the same pixels as the ordered ones.
Rect normalized(Rect r)
{
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

pixman_box32_t boxOf(const Rect& r) { return pixman_box32_t{r.left, r.top, r.right, r.bottom}; }

// Spans that are already banded and ordered; pixman re-validates them in one pass.
Region regionOfSpans(const std::vector<Rect>& spans)
{
    Region out;
    if (spans.empty())
        return out;
    std::vector<pixman_box32_t> boxes(spans.size());
    std::transform(spans.begin(), spans.end(), boxes.begin(), boxOf);
    pixman_region32_fini(out.native());
    check(pixman_region32_init_rects(out.native(), boxes.data(), int(boxes.size())));
    return out;
}

} // namespace

Region::Region() { pixman_region32_init(&region_); }

Region::~Region() { pixman_region32_fini(&region_); }

Region::Region(const Region& other)
{
    pixman_region32_init(&region_);
    check(pixman_region32_copy(&region_, &other.region_));
}

// A pixman region owns nothing but a heap block (or points at a static empty one), so moving
// it is a plain copy of the struct followed by resetting the source.
Region::Region(Region&& other) noexcept : region_(other.region_) { pixman_region32_init(&other.region_); }

Region& Region::operator=(const Region& other)
{
    if (this != &other)
        check(pixman_region32_copy(&region_, &other.region_));
    return *this;
}

Region& Region::operator=(Region&& other) noexcept
{
    if (this != &other) {
        pixman_region32_fini(&region_);
        region_ = other.region_;
        pixman_region32_init(&other.region_);
    }
    return *this;
}

Region Region::CreateRectRgn(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    const Rect r = normalized(Rect{left, top, right, bottom});
    Region out;
    if (!r.isEmpty()) {
        pixman_region32_fini(&out.region_);
        const pixman_box32_t box = boxOf(r);
        check(pixman_region32_init_rects(&out.region_, &box, 1));
    }
    return out;
}

Region Region::CreateRoundRectRgn(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                                  std::int32_t ew, std::int32_t eh)
{
    const Rect r = normalized(Rect{left, top, right, bottom});
    if (r.isEmpty())
        return Region{};
    // Corner ellipses never exceed the rectangle; a negative size rounds nothing.
    const std::int64_t w = std::int64_t{r.right} - r.left, h = std::int64_t{r.bottom} - r.top;
    const auto cw = std::int32_t(std::clamp<std::int64_t>(ew, 0, w));
    const auto ch = std::int32_t(std::clamp<std::int64_t>(eh, 0, h));
    return regionOfSpans(roundRectSpans(r, cw, ch));
}

Region Region::CreateTriangleRgn(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                 std::int32_t x3, std::int32_t y3)
{
    return regionOfSpans(triangleSpans(x1, y1, x2, y2, x3, y3));
}

Region Region::fromRects(std::span<const Rect> rects)
{
    std::vector<pixman_box32_t> boxes;
    boxes.reserve(rects.size());
    for (const Rect& r : rects) {
        const Rect n = normalized(r);
        if (!n.isEmpty())
            boxes.push_back(boxOf(n));
    }
    Region out;
    if (!boxes.empty()) {
        pixman_region32_fini(&out.region_);
        check(pixman_region32_init_rects(&out.region_, boxes.data(), int(boxes.size())));
    }
    return out;
}

void Region::combine(const Region& other, CombineMode mode)
{
    switch (mode) {
    case CombineMode::And:
        check(pixman_region32_intersect(&region_, &region_, &other.region_));
        break;
    case CombineMode::Or:
        check(pixman_region32_union(&region_, &region_, &other.region_));
        break;
    case CombineMode::Xor: {
        // The exclusive-or is the union of the two differences.
        Region onlyOther;
        check(pixman_region32_subtract(&onlyOther.region_, &other.region_, &region_));
        check(pixman_region32_subtract(&region_, &region_, &other.region_));
        check(pixman_region32_union(&region_, &region_, &onlyOther.region_));
        break;
    }
    }
}

bool Region::isEmpty() const { return !pixman_region32_not_empty(&region_); }

Rect Region::bounds() const
{
    if (isEmpty())
        return Rect{};
    const pixman_box32_t& e = region_.extents;
    return Rect{e.x1, e.y1, e.x2, e.y2};
}

bool Region::contains(std::int32_t x, std::int32_t y) const
{
    return pixman_region32_contains_point(&region_, x, y, nullptr);
}

std::vector<Rect> Region::rects() const
{
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&region_, &n);
    std::vector<Rect> out;
    out.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i)
        out.push_back(Rect{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
    return out;
}

std::size_t Region::rectCount() const { return std::size_t(pixman_region32_n_rects(&region_)); }

bool operator==(const Region& a, const Region& b) { return pixman_region32_equal(&a.region_, &b.region_); }

} // namespace lmvo
