#include "transition/engine/RegionStyles.h"

#include "transition/engine/RegionBuilders.h"

#include "tests/raster/TestPictures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace lmvo {
namespace {

// The region of `style` on a W x H picture at progress P with step 4.
OptRegion styleRegion(int style, int W, int H, int P, Random& rnd)
{
    return regionStyleRegion(style, FrameGeometry::of(W, H, P, 4), rnd);
}

// Compares the pixels of the picture that `rgn` shows with a predicate; names the pixels
// that disagree. Only the picture matters: a frame clips the new picture to it.
std::string mismatch(const OptRegion& rgn, int W, int H, const std::function<bool(int, int)>& shown)
{
    return rgn ? test::regionMismatches(*rgn, shown, 0, 0, W, H) : "none";
}

bool samePixels(const OptRegion& a, const OptRegion& b, int W, int H)
{
    return mismatch(a, W, H, [&](int x, int y) { return b && b->contains(x, y); }).empty();
}

std::function<bool(int, int)> inside(const Region& r)
{
    return [r](int x, int y) { return r.contains(x, y); };
}

Region united(std::vector<Region> parts)
{
    Region r = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i)
        r.combine(parts[i], CombineMode::Or);
    return r;
}

Region tri(int x1, int y1, int x2, int y2, int x3, int y3) { return Region::CreateTriangleRgn(x1, y1, x2, y2, x3, y3); }

// --- 200 x 100 at progress 50: Px = 100, Py = 50 ---

struct ShapeCase {
    int style;
    std::function<Region()> expected;
};

class ShapeAtHalfway : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ShapeAtHalfway, NewPictureShowsExactlyInTheShape)
{
    Random rnd(1);
    EXPECT_EQ(mismatch(styleRegion(GetParam().style, 200, 100, 50, rnd), 200, 100, inside(GetParam().expected())),
              "");
}

Region ellipseLike() { return Region::CreateRoundRectRgn(0, 0, 200, 100, 180, 90); }

Region mosaic()
{
    std::vector<Region> parts;
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i)
            parts.push_back(tri(20 * i, 10 * j, 20 * i + 20, 10 * j, 20 * i, 10 * j + 10));
    return united(parts);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, ShapeAtHalfway,
    ::testing::Values(ShapeCase{110, [] { return tri(0, 0, 200, 0, 0, 100); }},
                      ShapeCase{113, [] { return tri(200, 100, 0, 100, 200, 0); }},
                      ShapeCase{84, ellipseLike},
                      ShapeCase{85,
                                [] {
                                    Region r = Region::CreateRectRgn(0, 0, 200, 100);
                                    r.combine(ellipseLike(), CombineMode::Xor);
                                    return r;
                                }},
                      ShapeCase{116,
                                [] {
                                    return united({tri(100, 50, 0, 100, 0, 50), tri(0, 0, 100, 0, 100, 50),
                                                   tri(100, 100, 100, 50, 200, 100), tri(100, 50, 200, 0, 200, 50)});
                                }},
                      ShapeCase{117, mosaic},
                      ShapeCase{82, [] { return Region::CreateRoundRectRgn(-400, 0, 200, 300, 400, 200); }},
                      ShapeCase{83, [] { return Region::CreateRoundRectRgn(0, 0, 600, 300, 200, 200); }}),
    [](const auto& info) { return "Style" + std::to_string(info.param.style); });

TEST(RegionStyles, MosaicIsTheHundredTrianglesUnitedOneByOne)
{
    for (const auto& [W, H, P] : std::vector<std::tuple<int, int, int>>{{203, 97, 73}, {99, 301, 88}, {57, 31, 33}}) {
        const FrameGeometry g = FrameGeometry::of(W, H, P, 4);
        const int q = g.Px / 5, r = MulDiv(q, H, W);
        std::vector<Region> cells;
        for (int j = 0; j < 10; ++j)
            for (int i = 0; i < 10; ++i)
                cells.push_back(tri(i * W / 10, j * H / 10, i * W / 10 + q, j * H / 10, i * W / 10, j * H / 10 + r));
        Random rnd(1);
        const OptRegion fast = regionStyleRegion(117, g, rnd);
        ASSERT_TRUE(fast);
        EXPECT_TRUE(*fast == united(cells)) << W << "x" << H << " at " << P;
    }
}

TEST(RegionStyles, OpeningAndClosingOvalsAreComplementsAtHalfway)
{
    Random rnd(1);
    const OptRegion opening = regionStyleRegion(84, FrameGeometry::of(200, 100, 50, 4), rnd);
    const OptRegion closing = regionStyleRegion(85, FrameGeometry::of(200, 100, 50, 4), rnd);
    ASSERT_TRUE(opening && closing);
    EXPECT_TRUE(opening->contains(100, 50) && !opening->contains(0, 0));
    EXPECT_TRUE(closing->contains(0, 0) && closing->contains(199, 99) && !closing->contains(100, 50));
    Region overlap = *opening;
    overlap.combine(*closing, CombineMode::And);
    EXPECT_TRUE(overlap.isEmpty());
}

// Products such as 9 * Px passed 32 bits on pictures wider than about 238 million pixels,
// which a crafted 268435456 x 1 file is: an abort under the sanitizers, and otherwise ovals
// with square corners and a mosaic whose right-hand columns wrapped round to the left.
TEST(RegionStyles, PicturesTooWideFor32BitProductsKeepTheirShapes)
{
    constexpr int W = 1 << 28, H = 10;
    Random rnd(1);
    for (const auto& [style, P] : {std::pair{84, 100}, std::pair{85, 1}}) {
        const OptRegion oval = styleRegion(style, W, H, P, rnd);
        ASSERT_TRUE(oval);
        const Rect b = oval->bounds();
        EXPECT_FALSE(oval->contains(b.left, b.top)) << "style " << style << " has a square corner";
    }
    const OptRegion mosaic = styleRegion(117, W, H, 100, rnd);
    ASSERT_TRUE(mosaic);
    EXPECT_GE(mosaic->bounds().left, 0);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(mosaic->contains(int(std::int64_t{i} * W / 10), 9)) << "column " << i;
}

TEST(RegionStyles, BottomRightFrontIsRoundedByItsOwnEllipse)
{
    // The two candidate ellipses give different pixels, so the shape test above tells them apart.
    EXPECT_FALSE(Region::CreateRoundRectRgn(0, 0, 600, 300, 200, 200)
                 == Region::CreateRoundRectRgn(0, 0, 600, 300, 400, 200));
}

// --- strips ---

struct StripCase {
    int P;
    std::function<bool(int, int)> shown;
};

class Style60 : public ::testing::TestWithParam<StripCase> {};

// 200 x 100 with step 4: B = 9 and 2Px = 4P.
TEST_P(Style60, RowStripsGrowFromTheRightThenFillBetween)
{
    Random rnd(1);
    EXPECT_EQ(mismatch(styleRegion(60, 200, 100, GetParam().P, rnd), 200, 100, GetParam().shown), "");
}

INSTANTIATE_TEST_SUITE_P(
    Progress, Style60,
    ::testing::Values(StripCase{44, [](int x, int y) { return y % 10 < 5 && x >= 24; }},
                      // 192 comes within the band of 200: the strips snap to the full width.
                      StripCase{48, [](int, int y) { return y % 10 < 5; }},
                      // Second phase: every first strip whole, the 8 pixels at the right between.
                      StripCase{52, [](int x, int y) { return y % 10 < 5 || x >= 192; }}),
    [](const auto& info) { return "Progress" + std::to_string(info.param.P); });

TEST(RegionStyles, LatticeMeetingShowsOnlyWhereBothLatticesReach)
{
    // 200 x 100 at P = 30: 2Px = 120, 2Py = 60, no snap.
    const auto fromLeftTop = [](int x, int y) { return (y % 25 < 5 && x < 120) || (x % 25 < 5 && y < 60); };
    const auto fromRightBottom = [](int x, int y) { return (y % 25 < 5 && x >= 80) || (x % 25 < 5 && y >= 40); };
    Random rnd(1);
    EXPECT_EQ(mismatch(styleRegion(99, 200, 100, 30, rnd), 200, 100,
                       [&](int x, int y) { return fromLeftTop(x, y) && fromRightBottom(x, y); }),
              "");
}

class SparseBars : public ::testing::TestWithParam<int> {};

// W mod 5 = 3, so every bar is 8 columns wide: x to x + 7 for x = 0, 25, 50, ...
TEST_P(SparseBars, ShowOnlyInTheirColumns)
{
    const int W = 203, H = 100;
    std::vector<bool> reached(std::size_t(W / 25 + 1), false);
    for (int P : {1, 10, 35, 50, 80, 99}) {
        for (std::uint32_t seed : {2u, 3u}) {
            Random rnd(seed);
            const OptRegion r = regionStyleRegion(GetParam(), FrameGeometry::of(W, H, P, 4), rnd);
            ASSERT_TRUE(r);
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    if (!r->contains(x, y))
                        continue;
                    ASSERT_LT(x % 25, 8) << "P " << P << " pixel " << x << ", " << y;
                    reached[std::size_t(x / 25)] = true;
                }
            }
        }
    }
    for (std::size_t i = 0; i < reached.size(); ++i)
        EXPECT_TRUE(reached[i]) << "bar " << i;
}

std::string styleName(const ::testing::TestParamInfo<int>& info) { return "Style" + std::to_string(info.param); }

INSTANTIATE_TEST_SUITE_P(Styles, SparseBars, ::testing::Values(76, 77, 78, 79), styleName);

// --- all styles ---

TEST(RegionStyles, EveryStyleGivesARegionAndOthersNone)
{
    for (const auto& [W, H] : std::vector<std::pair<int, int>>{{1, 1}, {7, 3}, {200, 100}, {99, 301}}) {
        for (int P : {1, 50, 99}) {
            Random rnd(4);
            const FrameGeometry g = FrameGeometry::of(W, H, P, 4);
            for (int style = FirstRegionStyle; style <= LastRegionStyle; ++style)
                EXPECT_TRUE(regionStyleRegion(style, g, rnd).has_value()) << style << " at " << W << "x" << H;
            EXPECT_FALSE(regionStyleRegion(57, g, rnd).has_value());
            EXPECT_FALSE(regionStyleRegion(118, g, rnd).has_value());
        }
    }
}

class RaggedStyle : public ::testing::TestWithParam<int> {};

TEST_P(RaggedStyle, SameSeedSameFrameOtherSeedOtherFrame)
{
    Random a(1234), b(1234), c(98765);
    const OptRegion first = styleRegion(GetParam(), 200, 100, 30, a);
    const OptRegion again = styleRegion(GetParam(), 200, 100, 30, b);
    const OptRegion other = styleRegion(GetParam(), 200, 100, 30, c);
    EXPECT_TRUE(samePixels(first, again, 200, 100));
    EXPECT_FALSE(samePixels(first, other, 200, 100));
}

INSTANTIATE_TEST_SUITE_P(Styles, RaggedStyle,
                         ::testing::Values(65, 66, 67, 68, 76, 77, 78, 79, 100, 101, 102, 103, 104, 105, 106, 107,
                                           108, 109),
                         styleName);

} // namespace
} // namespace lmvo
