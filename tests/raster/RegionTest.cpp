#include "raster/Region.h"
#include "raster/Spans.h"

#include "tests/ParamName.h"
#include "tests/raster/TestPictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace lmvo {
namespace {

using test::regionMismatches;
using i64 = std::int64_t;

// --- independent per-pixel definitions of the shapes (the oracles) ---

// Rounded rectangle: the pixel centre lies in the rectangle and, inside a corner square of
// the ellipse, on or within that corner's ellipse. Doubled coordinates keep it exact.
bool inRoundRect(i64 l, i64 t, i64 r, i64 b, i64 ew, i64 eh, i64 x, i64 y)
{
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    ew = std::clamp<i64>(ew, 0, r - l);
    eh = std::clamp<i64>(eh, 0, b - t);
    if (x < l || x >= r || y < t || y >= b)
        return false;
    const __int128 X = 2 * x + 1, Y = 2 * y + 1;
    for (const bool left : {true, false})
        for (const bool top : {true, false}) {
            const i64 cx = left ? 2 * l + ew : 2 * r - ew, cy = top ? 2 * t + eh : 2 * b - eh;
            const bool inCornerX = left ? X < cx : X > cx;
            const bool inCornerY = top ? Y < cy : Y > cy;
            if (inCornerX && inCornerY
                && (X - cx) * (X - cx) * eh * eh + (Y - cy) * (Y - cy) * ew * ew > __int128(ew) * ew * eh * eh)
                return false;
        }
    return true;
}

// Triangle by edge functions: strictly inside all three edges, or on an edge that has the
// interior to its right (a left edge). Horizontal edges never pass through a pixel centre.
bool inTriangle(i64 x1, i64 y1, i64 x2, i64 y2, i64 x3, i64 y3, i64 x, i64 y)
{
    const i64 px[3] = {2 * x1, 2 * x2, 2 * x3}, py[3] = {2 * y1, 2 * y2, 2 * y3};
    const __int128 area = __int128(px[1] - px[0]) * (py[2] - py[0]) - __int128(py[1] - py[0]) * (px[2] - px[0]);
    if (area == 0)
        return false;
    const int sign = area > 0 ? 1 : -1;
    const i64 X = 2 * x + 1, Y = 2 * y + 1;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const __int128 e = sign * (__int128(px[j] - px[i]) * (Y - py[i]) - __int128(py[j] - py[i]) * (X - px[i]));
        // d e / d X = -sign * (py[j] - py[i]): positive means the interior lies to the right.
        const bool leftEdge = -sign * (py[j] - py[i]) > 0;
        if (e < 0 || (e == 0 && !leftEdge))
            return false;
    }
    return true;
}

// --- none, empty and rectangles ---

TEST(Region, NoneDiffersFromTheEmptyRegion)
{
    const OptRegion none;
    const OptRegion empty = Region{};
    EXPECT_FALSE(none.has_value());
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_NE(none, empty);
    EXPECT_EQ(empty->bounds(), Rect{});
    EXPECT_EQ(empty->rectCount(), 0u);
}

TEST(Region, EqualCoordinatesGiveAnEmptyRegion)
{
    EXPECT_TRUE(Region::CreateRectRgn(5, 5, 5, 40).isEmpty());
    EXPECT_TRUE(Region::CreateRectRgn(5, 5, 40, 5).isEmpty());
    EXPECT_TRUE(Region::CreateRoundRectRgn(5, 5, 5, 40, 3, 3).isEmpty());
    EXPECT_EQ(Region::CreateRectRgn(5, 5, 5, 40), Region{});
}

TEST(Region, SwappedCoordinatesAreNormalised)
{
    const Region a = Region::CreateRectRgn(10, 20, 0, 5);
    EXPECT_EQ(a, Region::CreateRectRgn(0, 5, 10, 20));
    EXPECT_EQ(a.bounds(), (Rect{0, 5, 10, 20}));
    EXPECT_TRUE(a.contains(0, 5));
    EXPECT_FALSE(a.contains(10, 19));
    EXPECT_EQ(Region::CreateRoundRectRgn(200, 100, 0, 0, 180, 90), Region::CreateRoundRectRgn(0, 0, 200, 100, 180, 90));
}

TEST(Region, CopiesAreDeepAndMovesLeaveAnEmptyRegion)
{
    Region a = Region::CreateRectRgn(0, 0, 10, 10);
    Region b = a;
    b.combine(Region::CreateRectRgn(20, 0, 30, 10), CombineMode::Or);
    EXPECT_EQ(a.rectCount(), 1u);
    EXPECT_EQ(b.rectCount(), 2u);
    Region c = std::move(b);
    EXPECT_EQ(c.rectCount(), 2u);
    EXPECT_TRUE(b.isEmpty()); // NOLINT(bugprone-use-after-move): the moved-from state is defined
    a = c;
    EXPECT_EQ(a, c);
    a = std::move(c);
    EXPECT_EQ(a.rectCount(), 2u);
}

TEST(Region, FromRectsEqualsTheUnionOfItsPieces)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-20, 60);
    for (int round = 0; round < 50; ++round) {
        std::vector<Rect> rects;
        Region united;
        for (int i = 0; i < 12; ++i) {
            const Rect r{coord(rng), coord(rng), coord(rng), coord(rng)}; // swapped and empty ones too
            rects.push_back(r);
            united.combine(Region::CreateRectRgn(r.left, r.top, r.right, r.bottom), CombineMode::Or);
        }
        EXPECT_EQ(Region::fromRects(rects), united) << "round " << round;
    }
    EXPECT_TRUE(Region::fromRects({}).isEmpty());
}

TEST(Region, FromRectsMergesHundredsOfOverlappingPieces)
{
    // Built at once, hundreds of pieces give what uniting them one by one gives: short pieces
    // overlapping the way neighbouring mosaic triangles and ragged strips do, and tall ones
    // with staggered tops.
    std::mt19937 rng(13);
    std::uniform_int_distribution<int> x(-40, 240), y(-20, 140), len(0, 60), rows(1, 4);
    for (const bool tall : {false, true}) {
        std::vector<Rect> rects;
        Region united;
        for (int i = 0; i < 600; ++i) {
            const int l = x(rng), t = tall ? i - 20 : y(rng);
            const Rect r{l, t, l + len(rng), tall ? 600 : t + rows(rng)};
            rects.push_back(r);
            united.combine(Region::CreateRectRgn(r.left, r.top, r.right, r.bottom), CombineMode::Or);
        }
        const Region built = Region::fromRects(rects);
        EXPECT_EQ(built, united) << (tall ? "tall" : "short");
        EXPECT_EQ(built.rectCount(), united.rectCount());
        if (tall)
            continue;
        EXPECT_EQ(regionMismatches(
                      built,
                      [&](int px, int py) {
                          return std::any_of(rects.begin(), rects.end(), [&](const Rect& r) { return r.contains(px, py); });
                      },
                      -45, -25, 305, 205),
                  "");
    }
}

// --- combining ---

TEST(Region, CombineModesMatchPixelLogic)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coord(-10, 50);
    std::uniform_int_distribution<int> corner(0, 30);
    for (int round = 0; round < 40; ++round) {
        const int a[6] = {coord(rng), coord(rng), coord(rng), coord(rng), corner(rng), corner(rng)};
        const int t[6] = {coord(rng), coord(rng), coord(rng), coord(rng), coord(rng), coord(rng)};
        const Region ra = Region::CreateRoundRectRgn(a[0], a[1], a[2], a[3], a[4], a[5]);
        const Region rb = Region::CreateTriangleRgn(t[0], t[1], t[2], t[3], t[4], t[5]);
        auto inA = [&](int x, int y) { return inRoundRect(a[0], a[1], a[2], a[3], a[4], a[5], x, y); };
        auto inB = [&](int x, int y) { return inTriangle(t[0], t[1], t[2], t[3], t[4], t[5], x, y); };
        for (const auto mode : {CombineMode::And, CombineMode::Or, CombineMode::Xor}) {
            Region r = ra;
            r.combine(rb, mode);
            const auto expected = [&](int x, int y) {
                return mode == CombineMode::And ? inA(x, y) && inB(x, y)
                       : mode == CombineMode::Or ? inA(x, y) || inB(x, y)
                                                 : inA(x, y) != inB(x, y);
            };
            EXPECT_EQ(regionMismatches(r, expected, -15, -15, 55, 55), "")
                << "round " << round << " mode " << int(mode);
        }
    }
}

TEST(Region, XorOfRoundRectWithThePictureLeavesTheCorners)
{
    Region r = Region::CreateRoundRectRgn(0, 0, 200, 100, 180, 90);
    r.combine(Region::CreateRectRgn(0, 0, 200, 100), CombineMode::Xor);
    EXPECT_TRUE(r.contains(0, 0));
    EXPECT_TRUE(r.contains(199, 0));
    EXPECT_TRUE(r.contains(0, 99));
    EXPECT_TRUE(r.contains(199, 99));
    EXPECT_FALSE(r.contains(100, 50));
    EXPECT_FALSE(r.contains(100, 0));
    EXPECT_FALSE(r.contains(0, 50));
    EXPECT_EQ(regionMismatches(
                  r, [](int x, int y) { return x >= 0 && x < 200 && y >= 0 && y < 100 && !inRoundRect(0, 0, 200, 100, 180, 90, x, y); },
                  -5, -5, 205, 105),
              "");
}

TEST(Region, XorWithALargerRoundRectReachesOutsideThePicture)
{
    // A shape larger than the picture: the exclusive-or also holds what lies outside it.
    Region r = Region::CreateRoundRectRgn(-50, -25, 250, 125, 270, 135);
    r.combine(Region::CreateRectRgn(0, 0, 200, 100), CombineMode::Xor);
    EXPECT_TRUE(r.contains(-40, 50));
    EXPECT_FALSE(r.contains(10, 50));
    EXPECT_EQ(regionMismatches(r,
                               [](int x, int y) {
                                   return inRoundRect(-50, -25, 250, 125, 270, 135, x, y)
                                          != (x >= 0 && x < 200 && y >= 0 && y < 100);
                               },
                               -60, -30, 260, 130),
              "");
}

// --- rounded rectangles ---

TEST(RoundRect, CornerPixelsOfANearEllipse)
{
    const Region r = Region::CreateRoundRectRgn(0, 0, 200, 100, 180, 90);
    EXPECT_EQ(r.bounds(), (Rect{0, 0, 200, 100}));
    EXPECT_FALSE(r.contains(0, 0));
    EXPECT_FALSE(r.contains(199, 99));
    EXPECT_FALSE(r.contains(10, 10));
    EXPECT_TRUE(r.contains(30, 20));
    EXPECT_TRUE(r.contains(100, 0));  // the straight part of the top edge
    EXPECT_TRUE(r.contains(0, 50));   // the straight part of the left edge
    EXPECT_TRUE(r.contains(199, 50));
    EXPECT_FALSE(r.contains(200, 50));
    // Symmetric under both mirrorings.
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(r.contains(x, y), r.contains(199 - x, 99 - y)) << x << "," << y;
    EXPECT_EQ(regionMismatches(r, [](int x, int y) { return inRoundRect(0, 0, 200, 100, 180, 90, x, y); }, -2, -2,
                               202, 102),
              "");
}

TEST(RoundRect, PixelsNearACircle)
{
    // Diameter 10: centre (5, 5), radius 5. Pixel (1, 1) has its centre at (1.5, 1.5), at
    // squared distance 24.5 < 25; (0, 2) at (0.5, 2.5): 26.5; (0, 3) at (0.5, 3.5): 22.5.
    const Region r = Region::CreateRoundRectRgn(0, 0, 10, 10, 10, 10);
    EXPECT_TRUE(r.contains(1, 1));
    EXPECT_FALSE(r.contains(0, 2));
    EXPECT_TRUE(r.contains(0, 3));
    EXPECT_FALSE(r.contains(7, 0)); // (7.5, 0.5): 6.25 + 20.25 = 26.5
    EXPECT_TRUE(r.contains(6, 0));  // (6.5, 0.5): 2.25 + 20.25 = 22.5
}

TEST(RoundRect, CornersAreLimitedToTheRectangle)
{
    // Oversized corners behave as corners of the rectangle's own size; negative ones as none.
    EXPECT_EQ(Region::CreateRoundRectRgn(0, 0, 40, 20, 400, 200), Region::CreateRoundRectRgn(0, 0, 40, 20, 40, 20));
    EXPECT_EQ(Region::CreateRoundRectRgn(0, 0, 40, 20, -5, 10), Region::CreateRectRgn(0, 0, 40, 20));
    EXPECT_EQ(Region::CreateRoundRectRgn(0, 0, 40, 20, 0, 0), Region::CreateRectRgn(0, 0, 40, 20));
}

TEST(RoundRect, RandomShapesMatchThePixelOracle)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> coord(-20, 60);
    std::uniform_int_distribution<int> corner(-5, 90);
    for (int round = 0; round < 150; ++round) {
        const int v[6] = {coord(rng), coord(rng), coord(rng), coord(rng), corner(rng), corner(rng)};
        const Region r = Region::CreateRoundRectRgn(v[0], v[1], v[2], v[3], v[4], v[5]);
        EXPECT_EQ(regionMismatches(r, [&](int x, int y) { return inRoundRect(v[0], v[1], v[2], v[3], v[4], v[5], x, y); },
                                   -25, -25, 65, 65),
                  "")
            << "rrect(" << v[0] << "," << v[1] << "," << v[2] << "," << v[3] << "; " << v[4] << "," << v[5] << ")";
    }
}

TEST(RoundRect, LargeCoordinatesStayExact)
{
    // The rounded corner fronts span several picture sizes; sample them against the oracle.
    const i64 W = 20000, H = 15000;
    const Region r = Region::CreateRoundRectRgn(-2 * W, -2 * H, 3 * W, 3 * H, 2 * W, 2 * H);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> x(-2 * W - 10, 3 * W + 10), y(-2 * H - 10, 3 * H + 10);
    for (int i = 0; i < 20000; ++i) {
        const int px = x(rng), py = y(rng);
        ASSERT_EQ(r.contains(px, py), inRoundRect(-2 * W, -2 * H, 3 * W, 3 * H, 2 * W, 2 * H, px, py)) << px << "," << py;
    }
    // And along the boundary of the top-left corner, where rounding would show first.
    for (int py = -2 * H; py < -H; py += 7) {
        int px = -2 * W;
        while (!r.contains(px, py))
            ++px;
        ASSERT_TRUE(inRoundRect(-2 * W, -2 * H, 3 * W, 3 * H, 2 * W, 2 * H, px, py));
        ASSERT_FALSE(inRoundRect(-2 * W, -2 * H, 3 * W, 3 * H, 2 * W, 2 * H, px - 1, py));
    }
}

TEST(RoundRect, EqualRowsShareOneBand)
{
    const std::vector<Rect> spans = roundRectSpans(Rect{0, 0, 100, 1000}, 20, 20);
    // 10 distinct rows at most per corner, plus one band for the straight middle.
    EXPECT_LE(spans.size(), 21u);
    for (std::size_t i = 1; i < spans.size(); ++i) {
        EXPECT_EQ(spans[i].top, spans[i - 1].bottom);
        EXPECT_FALSE(spans[i].left == spans[i - 1].left && spans[i].right == spans[i - 1].right);
    }
}

// --- triangles ---

struct TriangleCase {
    int x1, y1, x2, y2, x3, y3;
};
void PrintTo(const TriangleCase& t, std::ostream* os)
{
    *os << "tri(" << t.x1 << "," << t.y1 << " " << t.x2 << "," << t.y2 << " " << t.x3 << "," << t.y3 << ")";
}

class Triangle : public testing::TestWithParam<TriangleCase> {};

TEST_P(Triangle, CoversExactlyThePixelsWhoseCentresAreInside)
{
    const auto& t = GetParam();
    const Region r = Region::CreateTriangleRgn(t.x1, t.y1, t.x2, t.y2, t.x3, t.y3);
    EXPECT_EQ(regionMismatches(r, [&](int x, int y) { return inTriangle(t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, x, y); },
                               -5, -5, 215, 115),
              "");
}

INSTANTIATE_TEST_SUITE_P(
    Corners, Triangle,
    testing::Values(TriangleCase{0, 0, 200, 0, 0, 100}, TriangleCase{200, 0, 0, 0, 200, 100},
                    TriangleCase{0, 100, 200, 100, 0, 0}, TriangleCase{200, 100, 0, 100, 200, 0},
                    // two hinged triangles and the pinwheel pieces at 200 x 100, P = 50
                    TriangleCase{200, 100, 200, 0, 100, 0}, TriangleCase{0, 100, 0, 0, 100, 100},
                    TriangleCase{100, 50, 0, 100, 0, 50}, TriangleCase{0, 0, 100, 0, 100, 50},
                    TriangleCase{100, 100, 100, 50, 200, 100}, TriangleCase{100, 50, 200, 0, 200, 50},
                    // a mosaic cell: legs 20 and 10
                    TriangleCase{40, 30, 60, 30, 40, 40}),
    test::PrintedName{});

TEST(Triangle, TheTopLeftCornerTriangleAt200x100)
{
    const Region r = Region::CreateTriangleRgn(0, 0, 200, 0, 0, 100);
    EXPECT_EQ(r.bounds(), (Rect{0, 0, 199, 100}));
    EXPECT_TRUE(r.contains(0, 0));
    EXPECT_TRUE(r.contains(0, 99));
    EXPECT_TRUE(r.contains(198, 0));
    EXPECT_FALSE(r.contains(199, 0)); // centre (199.5, 0.5): x/200 + y/100 > 1
    EXPECT_FALSE(r.contains(100, 50)); // centre (100.5, 50.5) lies past the hypotenuse
    EXPECT_TRUE(r.contains(99, 49));
    // Centre (x + .5, y + .5) inside means (2x + 1) + 2 (2y + 1) < 400.
    int count = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            count += (2 * x + 1) + 2 * (2 * y + 1) < 400;
    int covered = 0;
    for (const Rect& b : r.rects())
        covered += b.width() * b.height();
    EXPECT_EQ(covered, count);
}

TEST(Triangle, CollinearPointsGiveAnEmptyRegion)
{
    EXPECT_TRUE(Region::CreateTriangleRgn(0, 0, 100, 50, 200, 100).isEmpty());
    EXPECT_TRUE(Region::CreateTriangleRgn(5, 5, 5, 5, 5, 5).isEmpty());
    EXPECT_TRUE(Region::CreateTriangleRgn(0, 10, 50, 10, 200, 10).isEmpty());
    EXPECT_TRUE(Region::CreateTriangleRgn(0, 0, 0, 0, 40, 40).isEmpty());
}

TEST(Triangle, NeighboursSharingAnEdgeNeverShareAPixel)
{
    // Split random quadrilaterals along a diagonal: the halves tile it without overlap.
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> coord(-30, 70);
    for (int round = 0; round < 300; ++round) {
        const int ax = coord(rng), ay = coord(rng), cx = coord(rng), cy = coord(rng);
        const int bx = coord(rng), by = coord(rng), dx = coord(rng), dy = coord(rng);
        Region one = Region::CreateTriangleRgn(ax, ay, bx, by, cx, cy);
        const Region other = Region::CreateTriangleRgn(ax, ay, cx, cy, dx, dy);
        // Only when b and d lie on opposite sides of a-c are the halves disjoint.
        const i64 sb = i64(cx - ax) * (by - ay) - i64(cy - ay) * (bx - ax);
        const i64 sd = i64(cx - ax) * (dy - ay) - i64(cy - ay) * (dx - ax);
        if ((sb > 0) == (sd > 0) || sb == 0 || sd == 0)
            continue;
        one.combine(other, CombineMode::And);
        EXPECT_TRUE(one.isEmpty()) << "round " << round;
    }
    // A square cut along its diagonal: the two halves hold 6 and 10 of its 16 pixels.
    const Region lower = Region::CreateTriangleRgn(0, 0, 4, 4, 0, 4);
    const Region upper = Region::CreateTriangleRgn(0, 0, 4, 0, 4, 4);
    Region all = lower;
    all.combine(upper, CombineMode::Or);
    EXPECT_EQ(all, Region::CreateRectRgn(0, 0, 4, 4));
    EXPECT_TRUE(upper.contains(2, 2)); // centre on the diagonal: a left edge of the upper half
    EXPECT_FALSE(lower.contains(2, 2));
}

TEST(Triangle, RandomShapesMatchThePixelOracle)
{
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> coord(-20, 60);
    for (int round = 0; round < 300; ++round) {
        int v[6];
        for (int& c : v)
            c = coord(rng);
        const Region r = Region::CreateTriangleRgn(v[0], v[1], v[2], v[3], v[4], v[5]);
        ASSERT_EQ(regionMismatches(r, [&](int x, int y) { return inTriangle(v[0], v[1], v[2], v[3], v[4], v[5], x, y); },
                                   -25, -25, 65, 65),
                  "")
            << "tri(" << v[0] << "," << v[1] << "; " << v[2] << "," << v[3] << "; " << v[4] << "," << v[5] << ")";
    }
}

TEST(Triangle, HugeCoordinatesStayExact)
{
    // Wide enough that products of doubled coordinates need more than 64 bits.
    const int v[6] = {-1000000000, 0, 1000000000, 3, 7, 11};
    const Region r = Region::CreateTriangleRgn(v[0], v[1], v[2], v[3], v[4], v[5]);
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> x(-1000000010, 1000000010), y(-1, 12);
    for (int i = 0; i < 20000; ++i) {
        const int px = x(rng), py = y(rng);
        ASSERT_EQ(r.contains(px, py), inTriangle(v[0], v[1], v[2], v[3], v[4], v[5], px, py)) << px << "," << py;
    }
    for (int py = 0; py < 11; ++py) {
        // The first pixel of each row is inside, the one before it outside.
        for (const Rect& s : r.rects())
            if (s.top <= py && py < s.bottom) {
                ASSERT_TRUE(inTriangle(v[0], v[1], v[2], v[3], v[4], v[5], s.left, py));
                ASSERT_FALSE(inTriangle(v[0], v[1], v[2], v[3], v[4], v[5], s.left - 1, py));
                ASSERT_TRUE(inTriangle(v[0], v[1], v[2], v[3], v[4], v[5], s.right - 1, py));
                ASSERT_FALSE(inTriangle(v[0], v[1], v[2], v[3], v[4], v[5], s.right, py));
            }
    }
}

} // namespace
} // namespace lmvo
