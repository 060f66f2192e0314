#pragma once

/// @file
/// The random generator the region styles with ragged strips draw from.

#include <lumivo/Export.h>

#include <cstdint>

namespace lmvo {

/// A linear congruential generator, bit-exact: a draw first advances
/// state := state * 134775813 + 1 (mod 2^32), then yields the upper 32 bits of the 64-bit
/// product state * n, so `draw(0)` yields 0 and still advances the state.
class Random {
public:
    explicit Random(std::uint32_t seed = 0) : state_(seed) {}

    void seed(std::uint32_t s) { state_ = s; }
    [[nodiscard]] std::uint32_t state() const { return state_; }

    /// A number in 0 ... n - 1.
    std::uint32_t draw(std::uint32_t n)
    {
        state_ = state_ * 134775813u + 1u;
        return std::uint32_t((std::uint64_t{state_} * n) >> 32);
    }

private:
    std::uint32_t state_;
};

/// The one generator of the process, shared by the ragged-strip styles and whoever chooses
/// styles at random (the slideshow does). Seed it for frames that repeat from run to run.
/// Main thread only.
LUMIVO_EXPORT Random& processRandom();

} // namespace lmvo
