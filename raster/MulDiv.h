#pragma once

#include <cstdint>
#include <limits>

namespace lmvo {

// a * b / c with a 64-bit intermediate, rounded to nearest with halves away from zero;
// -1 when c is 0 or when the result does not fit in 32 bits.
[[nodiscard]] constexpr std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c)
{
    if (c == 0)
        return -1;
    const std::int64_t p = std::int64_t{a} * b;
    const std::int64_t d = c;
    const bool negative = (p < 0) != (d < 0);
    const std::uint64_t up = p < 0 ? std::uint64_t(-(p + 1)) + 1 : std::uint64_t(p);
    const std::uint64_t ud = d < 0 ? std::uint64_t(-d) : std::uint64_t(d);
    const std::uint64_t q = (up + ud / 2) / ud;
    if (q > std::uint64_t(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0))
        return -1;
    return negative ? std::int32_t(-std::int64_t(q)) : std::int32_t(q);
}

// Signed halving truncated toward zero: half(7) = 3, half(-7) = -3.
[[nodiscard]] constexpr std::int32_t half(std::int32_t x) { return x / 2; }
[[nodiscard]] constexpr std::int64_t half(std::int64_t x) { return x / 2; }

} // namespace lmvo
