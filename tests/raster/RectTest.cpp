#include "raster/MulDiv.h"
#include "raster/Rect.h"

#include "tests/ParamName.h"
#include "tests/raster/TestPictures.h"

#include <gtest/gtest.h>

#include <limits>

namespace lmvo {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(Rect, SizesAndEmptiness)
{
    const Rect r{10, 20, 40, 25};
    EXPECT_EQ(r.width(), 30);
    EXPECT_EQ(r.height(), 5);
    EXPECT_FALSE(r.isEmpty());
    EXPECT_TRUE((Rect{5, 5, 5, 9}).isEmpty());
    EXPECT_TRUE((Rect{9, 5, 5, 9}).isEmpty()); // swapped counts as empty for the rectangle routines
}

TEST(Rect, RightAndBottomAreExclusive)
{
    const Rect r{0, 0, 3, 2};
    EXPECT_TRUE(r.contains(2, 1));
    EXPECT_FALSE(r.contains(3, 1));
    EXPECT_FALSE(r.contains(2, 2));
    EXPECT_FALSE(r.contains(-1, 0));
}

TEST(Rect, OffsetMovesAllFourEdges)
{
    Rect r{1, 2, 3, 4};
    r.offset(-5, 10);
    EXPECT_EQ(r, (Rect{-4, 12, -2, 14}));
    EXPECT_EQ((Rect{0, 0, 1, 1}).offsetted(2, 3), (Rect{2, 3, 3, 4}));
}

struct IntersectCase {
    Rect a, b, expected;
};
void PrintTo(const IntersectCase& c, std::ostream* os)
{
    PrintTo(c.a, os);
    *os << " & ";
    PrintTo(c.b, os);
}

class RectIntersect : public testing::TestWithParam<IntersectCase> {};

TEST_P(RectIntersect, MatchesThePlatformRoutine)
{
    const auto& c = GetParam();
    EXPECT_EQ(c.a.intersected(c.b), c.expected);
    EXPECT_EQ(c.b.intersected(c.a), c.expected);
    Rect m = c.a;
    m.intersect(c.b);
    EXPECT_EQ(m, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RectIntersect,
                         testing::Values(IntersectCase{{0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 10, 10}},
                                         IntersectCase{{0, 0, 10, 10}, {2, 3, 4, 5}, {2, 3, 4, 5}},
                                         // disjoint, touching and empty operands give (0, 0, 0, 0)
                                         IntersectCase{{0, 0, 10, 10}, {20, 20, 30, 30}, {}},
                                         IntersectCase{{0, 0, 10, 10}, {10, 0, 20, 10}, {}},
                                         IntersectCase{{0, 0, 10, 10}, {3, 3, 3, 8}, {}},
                                         IntersectCase{{-50, -50, 50, 50}, {-60, 10, 0, 70}, {-50, 10, 0, 50}}),
                         test::PrintedName{});

struct MulDivCase {
    std::int32_t a, b, c, expected;
};
void PrintTo(const MulDivCase& c, std::ostream* os) { *os << c.a << "*" << c.b << "/" << c.c; }

class MulDivTable : public testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTable, RoundsHalvesAwayFromZero)
{
    const auto& m = GetParam();
    EXPECT_EQ(MulDiv(m.a, m.b, m.c), m.expected) << m.a << " * " << m.b << " / " << m.c;
}

INSTANTIATE_TEST_SUITE_P(Cases, MulDivTable,
                         testing::Values(MulDivCase{750, 30, 1000, 23}, // exactly 22.5
                                         MulDivCase{-750, 30, 1000, -23}, MulDivCase{750, -30, 1000, -23},
                                         MulDivCase{750, 30, -1000, -23}, MulDivCase{-750, -30, -1000, -23},
                                         MulDivCase{1, 1, 3, 0}, MulDivCase{2, 1, 3, 1}, MulDivCase{-2, 1, 3, -1},
                                         MulDivCase{-1, 1, 3, 0}, MulDivCase{800, 37, 100, 296},
                                         MulDivCase{296, 600, 800, 222}, MulDivCase{1000, 3, 100, 30},
                                         MulDivCase{30, 750, 1000, 23},
                                         // the 64-bit intermediate: the product overflows 32 bits
                                         MulDivCase{100000, 100000, 200000, 50000},
                                         // a zero divisor and results beyond 32 bits give -1
                                         MulDivCase{5, 7, 0, -1}, MulDivCase{kMax, 2, 1, -1},
                                         MulDivCase{kMin, -1, 1, -1}, MulDivCase{kMin, 1, 1, kMin},
                                         MulDivCase{kMax, kMax, kMax, kMax}),
                         test::PrintedName{});

TEST(Half, TruncatesTowardZero)
{
    EXPECT_EQ(half(7), 3);
    EXPECT_EQ(half(-7), -3);
    EXPECT_EQ(half(-1), 0);
    EXPECT_EQ(half(kMin), kMin / 2);
}

} // namespace
} // namespace lmvo
