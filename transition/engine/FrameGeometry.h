#pragma once

#include "raster/MulDiv.h"

#include <cstdint>

namespace lmvo {

// The quantities every style derives from the picture size, the progress and the step.
// The longer side receives the percentage and the other side follows it in proportion.
struct FrameGeometry {
    std::int32_t W = 0;  // picture width
    std::int32_t H = 0;  // picture height
    std::int32_t P = 0;  // progress, 0..100
    std::int32_t Px = 0; // horizontal progress extent
    std::int32_t Py = 0; // vertical progress extent
    std::int32_t L = 0;  // the longer side
    std::int32_t B = 0;  // band width of the strip styles

    [[nodiscard]] static constexpr FrameGeometry of(std::int32_t w, std::int32_t h, std::int32_t progress,
                                                    std::int32_t step)
    {
        FrameGeometry g;
        g.W = w;
        g.H = h;
        g.P = progress;
        if (h > w) {
            g.Py = MulDiv(h, progress, 100);
            g.Px = MulDiv(g.Py, w, h);
            g.L = h;
        } else {
            g.Px = MulDiv(w, progress, 100);
            g.Py = MulDiv(g.Px, h, w);
            g.L = w;
        }
        g.B = MulDiv(g.L, step, 90);
        return g;
    }
};

} // namespace lmvo
