#pragma once

#include "raster/Region.h"

#include <lumivo/Random.h>

#include <cstdint>

namespace lmvo {

// Region pattern builders. Each returns a region the caller owns, or none when it made no
// piece at all (an empty region is a valid result and differs from none).

// Strips 5 pixels thick with period 10 (rows first, then columns).
[[nodiscard]] OptRegion StripRegion(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H,
                                    std::int32_t Band, std::uint8_t RowMode, std::uint8_t ColumnMode);
// The same with period 25.
[[nodiscard]] OptRegion SparseStripRegion(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H,
                                          std::int32_t Band, std::uint8_t RowMode, std::uint8_t ColumnMode);
// Strips whose free ends are displaced by draws from `rnd`.
[[nodiscard]] OptRegion RaggedStripRegion(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H,
                                          std::int32_t RowMode, std::int32_t ColumnMode, Random& rnd);
// The triangle of the three points, in this order (empty when they are collinear).
[[nodiscard]] Region TriangleRegion(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                    std::int32_t x3, std::int32_t y3);

} // namespace lmvo
