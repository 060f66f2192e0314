#pragma once

#include "raster/Region.h"
#include "transition/engine/FrameGeometry.h"

#include <lumivo/Random.h>

namespace lmvo {

constexpr int FirstRegionStyle = 58;
constexpr int LastRegionStyle = 117;

// The clip region of a region style 58..117 for the given geometry (none for other numbers).
// The ragged styles draw from `rnd`.
[[nodiscard]] OptRegion regionStyleRegion(int style, const FrameGeometry& g, Random& rnd);

} // namespace lmvo
