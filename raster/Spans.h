#pragma once

#include "raster/Rect.h"

#include <vector>

namespace lmvo {

// Scan conversion of the two curved shapes the regions need. Both return one rectangle per
// band of equal rows, top to bottom, in the banded form pixman expects.
//
// Pixel rule, the same for both shapes: a pixel (x, y) belongs to the shape when its centre
// (x + 0.5, y + 0.5) lies inside it. Centres exactly on a straight edge count when the edge
// is a left or top edge and not when it is a right or bottom edge, so that shapes sharing
// an edge never share a pixel and a rectangle keeps its exclusive right and bottom.
// Centres exactly on a corner ellipse count as inside.

// A normalised rectangle (left <= right, top <= bottom) with corners rounded by quarters of
// an ellipse of full width ew and height eh, already limited to the rectangle's size.
[[nodiscard]] std::vector<Rect> roundRectSpans(const Rect& r, std::int32_t ew, std::int32_t eh);

[[nodiscard]] std::vector<Rect> triangleSpans(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                              std::int32_t y2, std::int32_t x3, std::int32_t y3);

} // namespace lmvo
