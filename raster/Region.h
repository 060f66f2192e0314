#pragma once

#include "raster/Rect.h"

#include <optional>
#include <pixman.h>
#include <span>
#include <vector>

namespace lmvo {

// The modes of combining a region into another; the numbers are the classic CombineRgn codes.
enum class CombineMode { And = 1, Or = 2, Xor = 3 };

// A set of pixels (pixman underneath). A value type: copies are deep, moves are cheap.
// "No region at all" is std::optional<Region> without a value at the call site; an
// empty Region is a valid region that holds no pixel.
class Region {
public:
    Region();
    ~Region();
    Region(const Region& other);
    Region(Region&& other) noexcept;
    Region& operator=(const Region& other);
    Region& operator=(Region&& other) noexcept;

    // CreateRectRgn: swapped coordinates are normalised, equal ones give an empty region.
    static Region CreateRectRgn(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    // CreateRoundRectRgn: corners rounded by an ellipse of full size ew x eh, each limited to
    // the rectangle's own size.
    static Region CreateRoundRectRgn(std::int32_t left, std::int32_t top, std::int32_t right,
                                     std::int32_t bottom, std::int32_t ew, std::int32_t eh);
    // The triangle of three points, winding fill (empty when they are collinear).
    static Region CreateTriangleRgn(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                    std::int32_t x3, std::int32_t y3);
    // The union of many rectangles built at once; each is normalised like CreateRectRgn.
    static Region fromRects(std::span<const Rect> rects);

    // CombineRgn(this, this, other, mode).
    void combine(const Region& other, CombineMode mode);

    [[nodiscard]] bool isEmpty() const;
    [[nodiscard]] Rect bounds() const;
    [[nodiscard]] bool contains(std::int32_t x, std::int32_t y) const;
    [[nodiscard]] std::vector<Rect> rects() const;
    [[nodiscard]] std::size_t rectCount() const;

    [[nodiscard]] const pixman_region32_t* native() const { return &region_; }
    [[nodiscard]] pixman_region32_t* native() { return &region_; }

    friend bool operator==(const Region& a, const Region& b);

private:
    pixman_region32_t region_;
};

// "none" or a region: the result of the region builders.
using OptRegion = std::optional<Region>;

} // namespace lmvo
