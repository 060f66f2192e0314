#include "raster/Draw.h"

#include "tests/ParamName.h"
#include "tests/raster/TestPictures.h"

#include <gtest/gtest.h>

namespace lmvo {
namespace {

using test::backdrop;
using test::codedPicture;
using test::codeOf;
using test::kBackdrop;

struct FitCase {
    Rect s, b, expected;
};
void PrintTo(const FitCase& c, std::ostream* os)
{
    PrintTo(c.s, os);
    *os << " in ";
    PrintTo(c.b, os);
}

class FitRectTable : public testing::TestWithParam<FitCase> {};

TEST_P(FitRectTable, KeepsTheAspectAndCentres)
{
    const auto& c = GetParam();
    EXPECT_EQ(FitRect(c.s, c.b), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitRectTable,
    testing::Values(FitCase{{0, 0, 400, 100}, {0, 0, 200, 200}, {0, 75, 200, 125}},   // the width limits
                    FitCase{{0, 0, 100, 100}, {0, 0, 300, 200}, {50, 0, 250, 200}},   // the height limits
                    FitCase{{0, 0, 100, 50}, {0, 0, 200, 100}, {0, 0, 200, 100}},     // equal quotients
                    FitCase{{0, 0, 10, 10}, {100, 50, 400, 250}, {150, 50, 350, 250}}, // offset bounds
                    FitCase{{0, 0, 3, 1}, {0, 0, 100, 100}, {0, 33, 100, 66}},        // h = 33.3 rounds down
                    FitCase{{0, 0, 2, 3}, {0, 0, 100, 100}, {16, 0, 83, 100}},        // w = 66.7 rounds up
                    FitCase{{0, 0, 50, 20}, {-10, -10, 90, 90}, {-10, 20, 90, 60}}),
    test::PrintedName{});

TEST(FitRect, AShapelessSourceGivesAnEmptyRectangleInsteadOfDividingByZero)
{
    EXPECT_TRUE(FitRect(Rect{0, 0, 0, 10}, Rect{5, 5, 100, 100}).isEmpty());
    EXPECT_TRUE(FitRect(Rect{0, 0, 10, 0}, Rect{5, 5, 100, 100}).isEmpty());
}

TEST(TileDraw, ThirtyByThirtyOverHundredBySixtyDrawsFourByThree)
{
    Bitmap canvas = backdrop(200, 200);
    const Bitmap tile = codedPicture(30, 30);
    TileDraw(canvas, Rect{0, 0, 100, 60}, &tile);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool tiled = x < 120 && y < 90; // 4 columns, 3 rows (the third wholly below)
            ASSERT_EQ(canvas.pixel(x, y), tiled ? codeOf(x % 30, y % 30) : kBackdrop) << x << "," << y;
        }
}

TEST(TileDraw, TilesOffTheCanvasAreCutAtItsEdges)
{
    Bitmap canvas = backdrop(50, 40);
    const Bitmap tile = codedPicture(7, 6);
    TileDraw(canvas, Rect{-12, -8, 45, 30}, &tile); // 9 columns from -12, 7 rows from -8
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) {
            const bool tiled = x < -12 + 9 * 7 && y < -8 + 7 * 6;
            ASSERT_EQ(canvas.pixel(x, y), tiled ? codeOf((x + 12) % 7, (y + 8) % 6) : kBackdrop) << x << "," << y;
        }
}

TEST(TileDraw, NoTileOrAnEmptyTileDrawsNothing)
{
    Bitmap canvas = backdrop(10, 10);
    TileDraw(canvas, canvas.bounds(), nullptr);
    const Bitmap empty;
    TileDraw(canvas, canvas.bounds(), &empty);
    EXPECT_EQ(canvas.pixel(0, 0), kBackdrop);
}

TEST(MirrorCopy, HorizontalFlipGoesToOriginPastTheRightEdge)
{
    // Destination (10, 0, 20, 5) turned over: origin 21, extent -12, columns 10 ... 21.
    Bitmap canvas = backdrop(40, 8);
    const Bitmap src = codedPicture(10, 5);
    MirrorCopy(canvas, Rect{10, 0, 20, 5}, src, Rect{0, 0, 10, 5}, true, false);
    EXPECT_EQ(canvas.pixel(9, 0), kBackdrop);
    EXPECT_EQ(canvas.pixel(22, 0), kBackdrop);
    EXPECT_EQ(canvas.pixel(0, 5), kBackdrop);
    for (int y = 0; y < 5; ++y)
        for (int x = 10; x <= 21; ++x) {
            const int t = 21 - x;
            ASSERT_EQ(canvas.pixel(x, y), codeOf((2 * t + 1) * 10 / 24, y)) << x << "," << y;
        }
    EXPECT_EQ(canvas.pixel(21, 0), codeOf(0, 0));
    EXPECT_EQ(canvas.pixel(10, 0), codeOf(9, 0));
}

TEST(MirrorCopy, VerticalFlipTurnsRowsOver)
{
    Bitmap canvas = backdrop(6, 12);
    const Bitmap src = codedPicture(6, 8);
    MirrorCopy(canvas, Rect{0, 0, 6, 8}, src, Rect{0, 0, 6, 8}, false, true); // rows 0 ... 9, extent -10
    for (int y = 0; y <= 9; ++y)
        ASSERT_EQ(canvas.pixel(0, y), codeOf(0, (2 * (9 - y) + 1) * 8 / 20)) << y;
    EXPECT_EQ(canvas.pixel(0, 10), kBackdrop);
}

TEST(MirrorCopy, SourcePastTheBitmapIsLimitedToIt)
{
    // Source (5, 0, 30, 5) of a 10-wide picture copies only columns 5 ... 9, stretched.
    Bitmap canvas = backdrop(20, 5);
    const Bitmap src = codedPicture(10, 5);
    MirrorCopy(canvas, Rect{0, 0, 10, 5}, src, Rect{5, -3, 30, 5}, false, false);
    for (int x = 0; x < 10; ++x)
        ASSERT_EQ(canvas.pixel(x, 2), codeOf(5 + x / 2, 2 * 2 / 2)) << x;
    EXPECT_EQ(canvas.pixel(10, 0), kBackdrop);
    // Wholly outside: nothing.
    MirrorCopy(canvas, Rect{0, 0, 10, 5}, src, Rect{50, 0, 60, 5}, true, true);
    EXPECT_EQ(canvas.pixel(0, 0), codeOf(5, 0));
}

TEST(MirrorCopy, WithoutFlipsItIsAPlainCopy)
{
    Bitmap canvas = backdrop(12, 12);
    const Bitmap src = codedPicture(12, 12);
    MirrorCopy(canvas, Rect{2, 2, 6, 6}, src, Rect{2, 2, 6, 6}, false, false);
    EXPECT_EQ(canvas.pixel(2, 2), codeOf(2, 2));
    EXPECT_EQ(canvas.pixel(5, 5), codeOf(5, 5));
    EXPECT_EQ(canvas.pixel(6, 6), kBackdrop);
}

} // namespace
} // namespace lmvo
