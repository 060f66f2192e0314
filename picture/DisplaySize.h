#pragma once

#include <cstdint>

namespace lmvo {

// How a picture meets the size it is shown at.
enum class FitMode : std::uint8_t {
    Stretch,   // over the whole target; proportions are not kept
    FitInside, // as large as fits with its proportions kept, centred on black
};

// The size in device pixels a picture is shown at, and how it is fitted into it.
struct DisplaySize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    FitMode fit = FitMode::Stretch;
    bool operator==(const DisplaySize&) const = default;
};

} // namespace lmvo
