#pragma once

#include "raster/Rect.h"
#include "transition/engine/FrameGeometry.h"

#include <array>
#include <optional>

namespace lmvo {

enum class Flip { None, Horizontal, Vertical };

// One copy of a rectangle style: `src` of the new picture onto `dst` of the frame, turned
// over along `flip` (a MirrorCopy) or plain.
struct StyleCopy {
    Rect src;
    Rect dst;
    Flip flip = Flip::None;
    friend constexpr bool operator==(const StyleCopy&, const StyleCopy&) = default;
};

// What a rectangle style asks for at one progress: intermediate copies made in order,
// then the final pair that the renderer applies by the progress.
struct RectStylePlan {
    std::array<StyleCopy, 3> copies{};
    int copyCount = 0;
    StyleCopy final;
};

constexpr int FirstRectStyle = 1;
constexpr int LastRectStyle = 57;

// The plan of a rectangle style 1..57 for the given geometry; nullopt for other numbers.
[[nodiscard]] std::optional<RectStylePlan> rectStylePlan(int style, const FrameGeometry& g);

} // namespace lmvo
