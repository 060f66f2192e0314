#pragma once

#include <algorithm>
#include <cstdint>

namespace lmvo {

// The arithmetic of the region styles and builders runs in 64 bits, so that no size, however
// odd, can overflow: 9 * Px alone passes 32 bits on a picture more than 238 million pixels
// wide. Coordinates handed to the region code are then limited to a range far beyond any
// picture, which keeps them valid there without changing a single pixel of a real frame.
using Coord = std::int64_t;
constexpr Coord CoordLimit = Coord{1} << 30;

[[nodiscard]] constexpr std::int32_t limited(Coord v) { return std::int32_t(std::clamp(v, -CoordLimit, CoordLimit)); }

} // namespace lmvo
