#pragma once

#include <chrono>
#include <cstdint>

namespace lmvo {

// Monotonic milliseconds, for deadlines and intervals (never a date). The one clock of the
// program: every wait and every step timing reads this.
[[nodiscard]] inline std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace lmvo
