#pragma once

#include <algorithm>
#include <cstdint>

namespace lmvo {

// A rectangle of pixels: right and bottom are exclusive, so width = right - left.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    [[nodiscard]] constexpr std::int32_t width() const { return right - left; }
    [[nodiscard]] constexpr std::int32_t height() const { return bottom - top; }
    [[nodiscard]] constexpr bool isEmpty() const { return right <= left || bottom <= top; }

    constexpr void offset(std::int32_t dx, std::int32_t dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    [[nodiscard]] constexpr Rect offsetted(std::int32_t dx, std::int32_t dy) const
    {
        Rect r = *this;
        r.offset(dx, dy);
        return r;
    }

    // Disjoint or empty operands give (0, 0, 0, 0), as the platform's routine does.
    [[nodiscard]] constexpr Rect intersected(const Rect& o) const
    {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.isEmpty() ? Rect{} : r;
    }
    constexpr void intersect(const Rect& o) { *this = intersected(o); }

    [[nodiscard]] constexpr bool contains(std::int32_t x, std::int32_t y) const
    {
        return x >= left && x < right && y >= top && y < bottom;
    }

    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

[[nodiscard]] constexpr Rect rectOfSize(std::int32_t w, std::int32_t h) { return Rect{0, 0, w, h}; }

} // namespace lmvo
