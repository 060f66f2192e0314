#pragma once

// The baseline every benchmark is compared with: a plain memcpy of the same number of bytes,
// timed in the same process just before the ratio is reported.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <map>
#include <vector>

namespace lmvo::bench {

// Median wall-clock seconds of one call of `fn` over `reps` calls.
template <typename F>
double medianSeconds(F&& fn, int reps = 9)
{
    std::vector<double> t;
    t.reserve(std::size_t(reps));
    for (int i = 0; i < reps; ++i) {
        const auto a = std::chrono::steady_clock::now();
        fn();
        const auto b = std::chrono::steady_clock::now();
        t.push_back(std::chrono::duration<double>(b - a).count());
    }
    std::nth_element(t.begin(), t.begin() + reps / 2, t.end());
    return t[std::size_t(reps / 2)];
}

// Seconds for a memcpy of `bytes` bytes between two buffers that are already paged in.
inline double memcpySeconds(std::size_t bytes)
{
    static std::map<std::size_t, double> cache;
    if (auto it = cache.find(bytes); it != cache.end())
        return it->second;
    std::vector<unsigned char> a(bytes, 1), b(bytes, 2);
    const double s = medianSeconds([&] {
        std::memcpy(b.data(), a.data(), bytes);
        asm volatile("" : : "r"(b.data()) : "memory");
    });
    cache[bytes] = s;
    return s;
}

} // namespace lmvo::bench
