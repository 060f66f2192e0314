#pragma once

#include "raster/Bitmap.h"
#include "raster/Region.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace lmvo {

// Readable rectangles in failure messages and test names.
inline void PrintTo(const Rect& r, std::ostream* os)
{
    *os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

} // namespace lmvo

namespace lmvo::test {

// A picture whose every pixel names its own position (x in bits 12-22, y in bits 0-11, bit 23
// set so that no code is black), so a copied pixel tells where it came from.
inline Color codeOf(std::int32_t x, std::int32_t y)
{
    return Color((std::uint32_t(x) & 0x7FF) << 12 | (std::uint32_t(y) & 0xFFF)) | 0x800000u;
}

inline Bitmap codedPicture(std::int32_t w, std::int32_t h)
{
    Bitmap b(w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            b.setPixel(x, y, codeOf(x, y));
    return b;
}

// A bitmap of one colour.
inline Bitmap filled(std::int32_t w, std::int32_t h, Color c)
{
    Bitmap b(w, h);
    b.fillRect(b.bounds(), c);
    return b;
}

// What drawing tests draw on: one colour, the brush's too, so that pixels nothing drew stand out.
constexpr Color kBackdrop = 0x123456;

inline Bitmap backdrop(std::int32_t w, std::int32_t h)
{
    Bitmap b = filled(w, h, kBackdrop);
    b.setBrushColor(kBackdrop);
    return b;
}

// How many pixels of `r` have colour `c`.
inline int countColor(const Bitmap& b, const Rect& r, Color c)
{
    int n = 0;
    for (std::int32_t y = r.top; y < r.bottom; ++y)
        for (std::int32_t x = r.left; x < r.right; ++x)
            n += b.pixel(x, y) == c ? 1 : 0;
    return n;
}

inline bool uniform(const Bitmap& b, const Rect& r, Color c) { return countColor(b, r, c) == r.width() * r.height(); }

// Lists the pixels of the window [x0, x1) x [y0, y1) where the region and the predicate
// disagree; empty when they agree everywhere.
inline std::string regionMismatches(const Region& r, const std::function<bool(int, int)>& inside, int x0, int y0,
                                    int x1, int y1)
{
    std::string out;
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (r.contains(x, y) != inside(x, y) && ++count <= 8)
                out += "(" + std::to_string(x) + "," + std::to_string(y) + (inside(x, y) ? " missing) " : " extra) ");
    if (count > 8)
        out += "... " + std::to_string(count) + " in all";
    return out;
}

} // namespace lmvo::test
