#include "raster/Bitmap.h"

#include "tests/ParamName.h"
#include "tests/raster/TestPictures.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <sstream>

namespace lmvo {
namespace {

using test::backdrop;
using test::codedPicture;
using test::codeOf;
using test::kBackdrop;
using i64 = std::int64_t;

// The source index of destination pixel p along one axis, or none when p is not covered,
// straight from the mapping rule: the source pixel under the destination pixel's centre.
std::optional<i64> sourceIndex(i64 p, i64 origin, i64 extent, i64 s0, i64 sw, i64 srcLimit)
{
    if (extent == 0 || sw <= 0)
        return std::nullopt;
    const i64 t = extent > 0 ? p - origin : origin - p;
    const i64 n = extent > 0 ? extent : -extent;
    if (t < 0 || t >= n)
        return std::nullopt;
    const i64 s = s0 + (2 * t + 1) * sw / (2 * n);
    if (s < 0 || s >= srcLimit)
        return std::nullopt;
    return s;
}

struct Blt {
    int dx, dy, dw, dh, sx, sy, sw, sh;
};

std::string describe(const Blt& b);
void PrintTo(const Blt& b, std::ostream* os) { *os << describe(b); }

std::string describe(const Blt& b)
{
    std::ostringstream o;
    o << "dst " << b.dx << "," << b.dy << " " << b.dw << "x" << b.dh << " src " << b.sx << "," << b.sy << " "
      << b.sw << "x" << b.sh;
    return o.str();
}

// What the destination must hold after the copy, pixel by pixel.
std::string stretchMismatches(const Bitmap& before, const Bitmap& after, const Bitmap& src, const Blt& b,
                              const std::optional<Region>& clip)
{
    std::string out;
    int count = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            const auto sx = sourceIndex(x, b.dx, b.dw, b.sx, b.sw, src.width());
            const auto sy = sourceIndex(y, b.dy, b.dh, b.sy, b.sh, src.height());
            const bool copied = sx && sy && (!clip || clip->contains(x, y));
            const Color want = copied ? src.pixel(int(*sx), int(*sy)) : before.pixel(x, y);
            if (after.pixel(x, y) != want && ++count <= 5)
                out += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
        }
    if (count > 5)
        out += "... " + std::to_string(count) + " in all";
    return out;
}

// --- creation and resizing ---

TEST(Bitmap, ANewBitmapIsBlackWithTheUnusedByteSet)
{
    const Bitmap b(7, 3);
    EXPECT_EQ(b.width(), 7);
    EXPECT_EQ(b.height(), 3);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(b.bits()[i], 0xFF000000u);
    EXPECT_TRUE(Bitmap(0, 5).isEmpty());
    EXPECT_TRUE(Bitmap(-3, 5).isEmpty());
    EXPECT_EQ(Bitmap(-3, 5).width(), 0);
}

TEST(Bitmap, ResizeKeepsTheTopLeftAndFillsWithTheBrush)
{
    Bitmap b = codedPicture(4, 3);
    b.setBrushColor(0x00FF00);
    b.setSize(6, 2);
    EXPECT_EQ(b.width(), 6);
    EXPECT_EQ(b.height(), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(b.pixel(x, y), codeOf(x, y));
        EXPECT_EQ(b.pixel(4, y), 0x00FF00u);
        EXPECT_EQ(b.pixel(5, y), 0x00FF00u);
    }
    b.setHeight(4);
    EXPECT_EQ(b.pixel(3, 1), codeOf(3, 1));
    EXPECT_EQ(b.pixel(0, 3), 0x00FF00u);
    const std::uint32_t* before = b.bits();
    b.setSize(6, 4); // the same size costs nothing and keeps the storage
    EXPECT_EQ(b.bits(), before);
    b.setSize(-1, 4);
    EXPECT_TRUE(b.isEmpty());
}

TEST(Bitmap, CloneIsIndependent)
{
    Bitmap a = codedPicture(5, 5);
    a.intersectClip(Region::CreateRectRgn(0, 0, 2, 2));
    Bitmap c = a.clone();
    c.setPixel(0, 0, 0);
    EXPECT_EQ(a.pixel(0, 0), codeOf(0, 0));
    ASSERT_TRUE(c.clip().has_value());
    EXPECT_EQ(*c.clip(), *a.clip());
}

TEST(Bitmap, AMovedFromBitmapIsEmptyAndSafeToDrawOn)
{
    Bitmap a = codedPicture(6, 4);
    Bitmap b = std::move(a);
    EXPECT_EQ(b.pixel(5, 3), codeOf(5, 3));
    EXPECT_TRUE(a.isEmpty()); // NOLINT(bugprone-use-after-move): the moved-from state is defined
    a.fillRect(Rect{0, 0, 10, 10}, 0xFFFFFF);
    a.draw(0, 0, b);
    b = std::move(a);
    EXPECT_TRUE(b.isEmpty());
    EXPECT_EQ(b.width(), 0);
}

// --- fills and clipping ---

TEST(Bitmap, FillIsClippedToTheBitmapAndTheClipRegion)
{
    Bitmap b = backdrop(20, 10);
    b.fillRect(Rect{-5, -5, 3, 3}, 0xFF0000);
    EXPECT_EQ(b.pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(b.pixel(2, 2), 0xFF0000u);
    EXPECT_EQ(b.pixel(3, 2), kBackdrop);

    b.intersectClip(Region::CreateRectRgn(10, 0, 20, 10));
    b.intersectClip(Region::CreateRectRgn(0, 5, 15, 10)); // RGN_AND: (10, 5, 15, 10) remains
    b.fillRect(Rect{0, 0, 100, 100}, 0x0000FF);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inClip = x >= 10 && x < 15 && y >= 5;
            if (inClip)
                EXPECT_EQ(b.pixel(x, y), 0x0000FFu) << x << "," << y;
            else
                EXPECT_NE(b.pixel(x, y), 0x0000FFu) << x << "," << y;
        }
    b.removeClip();
    EXPECT_FALSE(b.clip().has_value());
    b.fillRect(Rect{19, 9, 25, 25}, 0x0000FF);
    EXPECT_EQ(b.pixel(19, 9), 0x0000FFu);
}

TEST(Bitmap, AnEmptyClipLetsNothingThrough)
{
    Bitmap b = backdrop(8, 8);
    b.intersectClip(Region{});
    b.fillRect(b.bounds(), 0xFFFFFF);
    b.draw(0, 0, codedPicture(8, 8));
    EXPECT_EQ(b.pixel(3, 3), kBackdrop);
}

// --- unscaled drawing ---

TEST(Bitmap, DrawPlacesTheSourceAndCutsItAtTheEdges)
{
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {-3, -2}, {5, 4}, {-20, 0}, {9, 9}, {-1, 7}}) {
        const Bitmap src = codedPicture(6, 5);
        Bitmap dst = backdrop(10, 9);
        const Bitmap before = dst.clone();
        dst.draw(x, y, src);
        EXPECT_EQ(stretchMismatches(before, dst, src, Blt{x, y, 6, 5, 0, 0, 6, 5}, std::nullopt), "") << x << "," << y;
    }
}

TEST(Bitmap, DrawOntoItselfReadsTheOriginal)
{
    Bitmap b = codedPicture(10, 10);
    const Bitmap original = b.clone();
    b.draw(2, 3, b);
    for (int y = 3; y < 10; ++y)
        for (int x = 2; x < 10; ++x)
            ASSERT_EQ(b.pixel(x, y), original.pixel(x - 2, y - 3));
}

// Clips of many narrow strips, cut by a few crossing bars, give bands of several rectangles:
// every rectangle of a band must be drawn on every row of it, and nothing between them.
TEST(Bitmap, RandomDrawsThroughBandedClips)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pos(-12, 40), width(1, 4), gap(0, 3);
    for (int round = 0; round < 200; ++round) {
        const Bitmap src = codedPicture(1 + round % 29, 1 + round % 23);
        Bitmap dst = backdrop(37, 29);
        std::vector<Rect> strips;
        for (int x = pos(rng) / 4; x < 37; x += width(rng) + gap(rng) + 1)
            strips.push_back(Rect{x, pos(rng) / 2, x + width(rng), 29 - pos(rng) / 3});
        Region clip = Region::fromRects(strips);
        if (round % 3 != 0) {
            const int top = pos(rng) / 2;
            clip.combine(Region::CreateRectRgn(-5, top, 50, top + 1 + round % 9), CombineMode::Xor);
        }
        dst.intersectClip(clip);
        const Bitmap before = dst.clone();
        const Blt b{pos(rng) / 2, pos(rng) / 2, src.width(), src.height(), 0, 0, src.width(), src.height()};
        dst.draw(b.dx, b.dy, src);
        ASSERT_EQ(stretchMismatches(before, dst, src, b, clip), "") << "round " << round << ": " << describe(b);
    }
}

// --- stretch copies ---

class StretchCopy : public testing::TestWithParam<Blt> {};

TEST_P(StretchCopy, EveryPixelComesFromUnderItsCentre)
{
    const Blt b = GetParam();
    const Bitmap src = codedPicture(12, 9);
    Bitmap dst = backdrop(16, 11);
    const Bitmap before = dst.clone();
    dst.stretchBlt(b.dx, b.dy, b.dw, b.dh, src, b.sx, b.sy, b.sw, b.sh);
    EXPECT_EQ(stretchMismatches(before, dst, src, b, std::nullopt), "") << describe(b);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StretchCopy,
    testing::Values(Blt{0, 0, 12, 9, 0, 0, 12, 9},     // 1:1
                    Blt{0, 0, 16, 11, 0, 0, 12, 9},    // enlarge
                    Blt{2, 1, 5, 4, 0, 0, 12, 9},      // reduce
                    Blt{-7, -4, 30, 20, 0, 0, 12, 9},  // reaches past every destination edge
                    Blt{3, 2, 10, 7, -4, -3, 20, 15},  // source reaches past every source edge
                    Blt{0, 0, 16, 11, 10, 7, 8, 8},    // source mostly outside
                    Blt{15, 0, -16, 11, 0, 0, 12, 9},  // mirrored horizontally
                    Blt{0, 10, 16, -11, 0, 0, 12, 9},  // mirrored vertically
                    Blt{20, 14, -30, -20, 2, 1, 7, 6}, // mirrored both ways, past the edges
                    Blt{21, 0, -12, 5, 0, 0, 10, 5},   // the mirrored fold: covers columns 10 ... 21
                    Blt{5, 5, 0, 4, 0, 0, 12, 9},      // zero extents copy nothing
                    Blt{5, 5, 4, 0, 0, 0, 12, 9}, Blt{5, 5, 4, 4, 0, 0, 0, 9},
                    Blt{5, 5, 4, 4, 0, 0, -3, 9}, // a negative source extent copies nothing
                    Blt{40, 0, 4, 4, 0, 0, 12, 9}, Blt{-40, 0, -4, 4, 0, 0, 12, 9}, // wholly outside
                    Blt{0, 0, 16, 11, 30, 0, 12, 9}),
    test::PrintedName{});

TEST(StretchCopy, TwiceAsLargeDoublesEveryPixel)
{
    const Bitmap src = codedPicture(3, 2);
    Bitmap dst(6, 4);
    dst.stretchDraw(dst.bounds(), src);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(dst.pixel(x, y), codeOf(x / 2, y / 2));
}

TEST(StretchCopy, MirroredCopyReversesTheRow)
{
    const Bitmap src = codedPicture(4, 1);
    Bitmap dst = backdrop(6, 1);
    dst.stretchBlt(4, 0, -4, 1, src, 0, 0, 4, 1); // origin 4, extent -4: columns 1 ... 4
    EXPECT_EQ(dst.pixel(0, 0), kBackdrop);
    EXPECT_EQ(dst.pixel(1, 0), codeOf(3, 0));
    EXPECT_EQ(dst.pixel(4, 0), codeOf(0, 0));
    EXPECT_EQ(dst.pixel(5, 0), kBackdrop);
}

TEST(StretchCopy, CopyRectTakesRectanglesAndSwappedOnesMirror)
{
    const Bitmap src = codedPicture(10, 10);
    Bitmap a = backdrop(10, 10), b = backdrop(10, 10);
    a.copyRect(Rect{9, 0, -1, 10}, src, src.bounds()); // right < left: origin 9, extent -10
    b.stretchBlt(9, 0, -10, 10, src, 0, 0, 10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(a.pixel(x, y), b.pixel(x, y));
            ASSERT_EQ(a.pixel(x, y), codeOf(9 - x, y));
        }
}

TEST(StretchCopy, RandomCopiesThroughRandomClips)
{
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> pos(-30, 50), ext(-60, 60), sext(-2, 40);
    const Bitmap src = codedPicture(23, 17);
    for (int round = 0; round < 400; ++round) {
        const Blt b{pos(rng), pos(rng), ext(rng), ext(rng), pos(rng) / 2, pos(rng) / 2, sext(rng), sext(rng)};
        Bitmap dst = backdrop(37, 29);
        std::optional<Region> clip;
        if (round % 2 == 1) {
            std::vector<Rect> strips;
            for (int i = 0; i < 6; ++i)
                strips.push_back(Rect{pos(rng), pos(rng), pos(rng), pos(rng)});
            clip = Region::fromRects(strips);
            dst.intersectClip(*clip);
        }
        const Bitmap before = dst.clone();
        dst.stretchBlt(b.dx, b.dy, b.dw, b.dh, src, b.sx, b.sy, b.sw, b.sh);
        ASSERT_EQ(stretchMismatches(before, dst, src, b, clip), "") << "round " << round << ": " << describe(b);
    }
}

TEST(StretchCopy, HugeExtentsNeitherOverflowNorReadOutside)
{
    const Bitmap src = codedPicture(8, 8);
    Bitmap dst = backdrop(8, 8);
    // A destination spanning nearly 2^32 pixels: only its few visible pixels are computed.
    dst.copyRect(Rect{-2147483647 - 1, 0, 2147483647, 8}, src, src.bounds());
    const i64 dw = i64(2147483647) + 2147483648LL;
    for (int x = 0; x < 8; ++x) {
        const i64 t = x + 2147483648LL;
        ASSERT_EQ(dst.pixel(x, 0), codeOf(int((2 * t + 1) * 8 / (2 * dw)), 0));
    }
    const Bitmap before = dst.clone();
    // A source spanning nearly 2^32 pixels maps every destination pixel outside the picture.
    dst.copyRect(Rect{0, 0, 8, 8}, src, Rect{-2147483647 - 1, 0, 2147483647, 8});
    EXPECT_EQ(stretchMismatches(before, dst, src, Blt{0, 0, 8, 8, 0, 0, 0, 0}, std::nullopt), "");
}

TEST(StretchCopy, ScaledCopyOntoItselfReadsTheOriginal)
{
    Bitmap b = codedPicture(10, 10);
    const Bitmap original = b.clone();
    b.stretchBlt(0, 0, 10, 10, b, 0, 0, 5, 5);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(b.pixel(x, y), original.pixel(x / 2, y / 2));
}

} // namespace
} // namespace lmvo
