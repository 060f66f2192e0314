#include "transition/engine/RegionBuilders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace lmvo {
namespace {

// A piece as the rules describe it: one or two rectangles, possibly given with swapped corners.
using Piece = std::vector<Rect>;

Rect normalised(Rect r)
{
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

// The oracle: every pixel of a window that holds all pieces, painted piece by piece.
class Grid {
public:
    explicit Grid(const std::vector<Piece>& pieces)
    {
        for (const Piece& p : pieces)
            for (const Rect& r : p)
                grow(normalised(r));
        cells_.assign(std::size_t(window_.width()) * std::size_t(window_.height()), false);
        for (const Piece& p : pieces)
            for (const Rect& r : p)
                paint(normalised(r));
    }

    // Every pixel of the window agrees with `rgn`, and `rgn` holds nothing outside it.
    [[nodiscard]] std::string mismatch(const Region& rgn) const
    {
        for (const Rect& r : rgn.rects())
            if (!r.isEmpty() && r.intersected(window_) != r)
                return "region reaches outside every piece";
        for (std::int32_t y = window_.top; y < window_.bottom; ++y)
            for (std::int32_t x = window_.left; x < window_.right; ++x)
                if (at(x, y) != rgn.contains(x, y))
                    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
        return {};
    }

private:
    void grow(const Rect& r)
    {
        if (r.isEmpty())
            return;
        if (!any_) {
            window_ = r;
            any_ = true;
            return;
        }
        window_ = Rect{std::min(window_.left, r.left), std::min(window_.top, r.top),
                       std::max(window_.right, r.right), std::max(window_.bottom, r.bottom)};
    }
    void paint(const Rect& r)
    {
        for (std::int32_t y = r.top; y < r.bottom; ++y)
            for (std::int32_t x = r.left; x < r.right; ++x)
                cells_[index(x, y)] = true;
    }
    [[nodiscard]] bool at(std::int32_t x, std::int32_t y) const { return cells_[index(x, y)]; }
    [[nodiscard]] std::size_t index(std::int32_t x, std::int32_t y) const
    {
        return std::size_t(y - window_.top) * std::size_t(window_.width()) + std::size_t(x - window_.left);
    }

    Rect window_;
    bool any_ = false;
    std::vector<bool> cells_;
};

// The slow construction: the first piece becomes the region and every later one is united
// into it, each two-rectangle piece made by uniting its second rectangle into its first.
OptRegion slowUnion(const std::vector<Piece>& pieces)
{
    OptRegion acc;
    for (const Piece& p : pieces) {
        Region piece = Region::CreateRectRgn(p[0].left, p[0].top, p[0].right, p[0].bottom);
        for (std::size_t i = 1; i < p.size(); ++i)
            piece.combine(Region::CreateRectRgn(p[i].left, p[i].top, p[i].right, p[i].bottom), CombineMode::Or);
        if (acc)
            acc->combine(piece, CombineMode::Or);
        else
            acc = piece;
    }
    return acc;
}

Rect rect(int l, int t, int r, int b) { return Rect{l, t, r, b}; }

// The periodic strip rules, step by step, rows then columns.
std::vector<Piece> periodicPieces(int X, int Y, int W, int H, int Band, int rowMode, int colMode, int T)
{
    std::vector<Piece> out;
    if (X <= W) {
        for (int y = 0; y < H + 5; y += T) {
            if (X + Band > W)
                X = W;
            if (rowMode == 1 || rowMode == 5)
                out.push_back({rect(W - X, y, W, y + 5)});
            else if (rowMode == 2 || rowMode == 4)
                out.push_back({rect(0, y, X, y + 5)});
            else if (rowMode == 3)
                out.push_back({rect(W - X, y, W, y + 5), rect(0, y + 5, X, y + 10)});
        }
    } else {
        for (int y = 5; y < H + 5; y += T) {
            if (rowMode == 1 || rowMode == 4)
                out.push_back({rect(0, y - 5, W, y), rect(2 * W - X, y, W, y + 5)});
            else if (rowMode == 2 || rowMode == 5)
                out.push_back({rect(0, y - 5, W, y), rect(0, y, X - W, y + 5)});
        }
    }
    if (Y <= H) {
        for (int x = 0; x < W + 5; x += T) {
            if (Y + Band > H)
                Y = H;
            if (colMode == 1 || colMode == 5)
                out.push_back({rect(x, H - Y, x + 5, H)});
            else if (colMode == 2 || colMode == 4)
                out.push_back({rect(x, 0, x + 5, Y)});
            else if (colMode == 3)
                out.push_back({rect(x, H - Y, x + 5, H), rect(x + 5, 0, x + 10, Y)});
        }
    } else {
        for (int x = 5; x < W + 5; x += T) {
            if (colMode == 1 || colMode == 4)
                out.push_back({rect(x - 5, 0, x, H), rect(x, 2 * H - Y, x + 5, H)});
            else if (colMode == 2 || colMode == 5)
                out.push_back({rect(x - 5, 0, x, H), rect(x, 0, x + 5, Y - H)});
        }
    }
    return out;
}

int jitterOf(Random& rnd, int J)
{
    const int j = int(rnd.draw(std::uint32_t(J)));
    return j - int(rnd.draw(std::uint32_t(J)));
}

// The ragged strip rules, step by step, drawing from `rnd` in the same order.
std::vector<Piece> raggedPieces(int X, int Y, int W, int H, int rowMode, int colMode, Random& rnd)
{
    std::vector<Piece> out;
    if (rowMode != 0) {
        const int J = X < W ? W / 7 : 0;
        for (int y = 0; y < H; y += 5) {
            const int b = y + 5 + H % 5;
            if (rowMode == 1) {
                out.push_back({rect(W - X + jitterOf(rnd, J), y, W, b)});
            } else if (rowMode == 2) {
                out.push_back({rect(0, y, X + jitterOf(rnd, J), b)});
            } else {
                const int j1 = jitterOf(rnd, J);
                const int j2 = jitterOf(rnd, J);
                if (rowMode == 3)
                    out.push_back({rect((W - X + j1) / 2, y, W / 2, b), rect(W / 2, y, (W + X + j2) / 2, b)});
                else
                    out.push_back({rect(W - (X + j1) / 2, y, W, b), rect(0, y, (X + j2) / 2, b)});
            }
        }
    }
    if (colMode != 0) {
        const int J = Y < H ? H / 7 : 0;
        for (int x = 0; x < W; x += 25) {
            const int r = x + 5 + W % 5;
            if (colMode == 1) {
                out.push_back({rect(x, H - Y + jitterOf(rnd, J), r, H)});
            } else if (colMode == 2) {
                out.push_back({rect(x, 0, r, Y + jitterOf(rnd, J))});
            } else {
                const int j1 = jitterOf(rnd, J);
                const int j2 = jitterOf(rnd, J);
                if (colMode == 3)
                    out.push_back({rect(x, (H - Y + j1) / 2, r, H / 2), rect(x, H / 2, r, (H + Y + j2) / 2)});
                else
                    out.push_back({rect(x, H - (Y + j1) / 2, r, H), rect(x, 0, r, (Y + j2) / 2)});
            }
        }
    }
    return out;
}

// Checks a fast result against both the per-pixel grid and the slow one-at-a-time union.
void expectSameAsRules(const OptRegion& fast, const std::vector<Piece>& pieces)
{
    ASSERT_EQ(fast.has_value(), !pieces.empty());
    if (!fast)
        return;
    EXPECT_EQ(Grid(pieces).mismatch(*fast), "");
    EXPECT_TRUE(*fast == *slowUnion(pieces));
}

// --- the fast construction against the rules, on seeded random arguments ---

TEST(StripBuildersOracle, RandomArgumentsGiveThePixelsOfThePieceByPieceUnion)
{
    std::mt19937 gen(20240607);
    for (int round = 0; round < 400; ++round) {
        const int W = int(gen() % 60) + 1;
        const int H = int(gen() % 60) + 1;
        const int X = int(gen() % std::uint32_t(2 * W + 7)) - 3;
        const int Y = int(gen() % std::uint32_t(2 * H + 7)) - 3;
        const int Band = int(gen() % std::uint32_t(W / 2 + 3));
        const int rowMode = int(gen() % 7);
        const int colMode = int(gen() % 7);
        const int T = round % 2 ? 25 : 10;
        SCOPED_TRACE(::testing::Message() << "W=" << W << " H=" << H << " X=" << X << " Y=" << Y << " Band="
                                          << Band << " modes " << rowMode << "," << colMode << " T=" << T);
        const auto build = T == 10 ? StripRegion : SparseStripRegion;
        expectSameAsRules(build(X, Y, W, H, Band, std::uint8_t(rowMode), std::uint8_t(colMode)),
                          periodicPieces(X, Y, W, H, Band, rowMode, colMode, T));
        if (HasFatalFailure())
            return;
    }
}

TEST(RaggedBuilderOracle, RandomArgumentsGiveThePiecesAndTheDrawsOfTheRules)
{
    std::mt19937 gen(77);
    for (int round = 0; round < 400; ++round) {
        const int W = int(gen() % 80) + 1;
        const int H = int(gen() % 80) + 1;
        const int X = int(gen() % std::uint32_t(W + 5)) - 2;
        const int Y = int(gen() % std::uint32_t(H + 5)) - 2;
        const int rowMode = int(gen() % 7) - 1;
        const int colMode = int(gen() % 7) - 1;
        const std::uint32_t seed = gen();
        SCOPED_TRACE(::testing::Message() << "W=" << W << " H=" << H << " X=" << X << " Y=" << Y << " modes "
                                          << rowMode << "," << colMode << " seed " << seed);
        Random fast(seed);
        Random rules(seed);
        expectSameAsRules(RaggedStripRegion(X, Y, W, H, rowMode, colMode, fast),
                          raggedPieces(X, Y, W, H, rowMode, colMode, rules));
        EXPECT_EQ(fast.state(), rules.state());
        if (HasFatalFailure())
            return;
    }
}

// --- named cases ---

// Pixels of `rgn` inside the picture only, the way a frame shows them.
Region inPicture(const Region& rgn, int W, int H)
{
    Region r = rgn;
    r.combine(Region::CreateRectRgn(0, 0, W, H), CombineMode::And);
    return r;
}

Region unionOf(std::initializer_list<Rect> rects) { return Region::fromRects(std::vector<Rect>(rects)); }

TEST(StripRegion, ZeroExtentGivesAValidEmptyRegionNotNone)
{
    const OptRegion r = StripRegion(0, 0, 100, 50, 10, 1, 0);
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(r->isEmpty());
}

struct NoneCase {
    const char* name;
    int X, Y, rowMode, colMode;
    bool none;
};

class StripNone : public ::testing::TestWithParam<NoneCase> {};

// None only when no piece at all was made; a mode without a piece in its phase adds none.
TEST_P(StripNone, NoneExactlyWhenNoPieceWasMade)
{
    const NoneCase c = GetParam();
    const OptRegion r = StripRegion(c.X, c.Y, 40, 30, 0, std::uint8_t(c.rowMode), std::uint8_t(c.colMode));
    EXPECT_EQ(!r.has_value(), c.none);
}

INSTANTIATE_TEST_SUITE_P(Cases, StripNone,
                         ::testing::Values(NoneCase{"BothModesZero", 40, 30, 0, 0, true},
                                           NoneCase{"UnknownModes", 40, 30, 6, 9, true},
                                           NoneCase{"InterleavedInSecondPhase", 41, 0, 3, 0, true},
                                           NoneCase{"InterleavedColumnsInSecondPhase", 0, 31, 0, 3, true},
                                           NoneCase{"ColumnsOnly", 0, 10, 0, 2, false},
                                           NoneCase{"NegativeExtentStillMakesPieces", -4, 0, 2, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StripRegion, ExtentEqualToTheSideIsStillTheFirstPhase)
{
    const int W = 30, H = 20;
    const OptRegion r = StripRegion(W, 0, W, H, 0, 1, 0);
    ASSERT_TRUE(r);
    EXPECT_TRUE(inPicture(*r, W, H) == unionOf({rect(0, 0, W, 5), rect(0, 10, W, 15)}));
}

TEST(StripRegion, OnePastTheSideStartsTheSecondPhase)
{
    const int W = 30, H = 20;
    const OptRegion r = StripRegion(W + 1, 0, W, H, 0, 1, 0);
    ASSERT_TRUE(r);
    // The finished strip above each step at full width, the next one a pixel wide at the right.
    EXPECT_TRUE(inPicture(*r, W, H)
                == unionOf({rect(0, 0, W, 5), rect(W - 1, 5, W, 10), rect(0, 10, W, 15), rect(W - 1, 15, W, 20)}));
}

TEST(StripRegion, BandSnapsTheExtentToTheSide)
{
    const OptRegion snapped = StripRegion(91, 0, 100, 10, 10, 2, 0);
    const OptRegion exact = StripRegion(90, 0, 100, 10, 10, 2, 0);
    ASSERT_TRUE(snapped && exact);
    EXPECT_TRUE(inPicture(*snapped, 100, 10) == unionOf({rect(0, 0, 100, 5)}));
    EXPECT_TRUE(inPicture(*exact, 100, 10) == unionOf({rect(0, 0, 90, 5)}));
}

TEST(StripRegion, RowsStartAtTheStepsOfTheirPhase)
{
    // H = 23: the first phase steps at 0, 10, 20, the second at 5, 15, 25.
    const OptRegion first = StripRegion(4, 0, 10, 23, 0, 2, 0);
    ASSERT_TRUE(first);
    EXPECT_TRUE(*first == unionOf({rect(0, 0, 4, 5), rect(0, 10, 4, 15), rect(0, 20, 4, 25)}));
    const OptRegion second = StripRegion(13, 0, 10, 23, 0, 2, 0);
    ASSERT_TRUE(second);
    EXPECT_TRUE(*second == unionOf({rect(0, 0, 10, 5), rect(0, 5, 3, 10), rect(0, 10, 10, 15), rect(0, 15, 3, 20),
                                    rect(0, 20, 10, 25), rect(0, 25, 3, 30)}));
}

TEST(StripRegion, InterleavedModeCoversEveryRowAtTheSide)
{
    const OptRegion r = StripRegion(37, 0, 37, 41, 0, 3, 0);
    ASSERT_TRUE(r);
    EXPECT_TRUE(inPicture(*r, 37, 41) == Region::CreateRectRgn(0, 0, 37, 41));
}

TEST(StripRegion, SecondPhaseAtTwiceTheSideCoversEverything)
{
    for (int mode : {1, 2, 4, 5}) {
        const OptRegion r = StripRegion(0, 2 * 33, 47, 33, 0, 0, std::uint8_t(mode));
        ASSERT_TRUE(r);
        EXPECT_TRUE(inPicture(*r, 47, 33) == Region::CreateRectRgn(0, 0, 47, 33)) << "mode " << mode;
    }
}

TEST(SparseStripRegion, FullLatticeCoversTenOfEveryTwentyFiveRowsAndColumns)
{
    const int W = 83, H = 61;
    const OptRegion r = SparseStripRegion(2 * W, 2 * H, W, H, 7, 1, 1);
    ASSERT_TRUE(r);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_EQ(r->contains(x, y), y % 25 < 10 || x % 25 < 10) << x << ", " << y;
}

TEST(SparseStripRegion, ModeZeroLeavesItsAxisOut)
{
    const int W = 60, H = 40;
    const OptRegion both = SparseStripRegion(30, 20, W, H, 0, 2, 2);
    const OptRegion rows = SparseStripRegion(30, 20, W, H, 0, 2, 0);
    const OptRegion cols = SparseStripRegion(30, 20, W, H, 0, 0, 2);
    ASSERT_TRUE(both && rows && cols);
    EXPECT_TRUE(*rows == unionOf({rect(0, 0, 30, 5), rect(0, 25, 30, 30)}));
    EXPECT_TRUE(*cols == unionOf({rect(0, 0, 5, 20), rect(25, 0, 30, 20), rect(50, 0, 55, 20)}));
    Region joined = *rows;
    joined.combine(*cols, CombineMode::Or);
    EXPECT_TRUE(*both == joined);
}

TEST(RaggedStripRegion, RowStripsOverlapByTheRemainderOfTheHeight)
{
    Random rnd(5);
    const OptRegion r = RaggedStripRegion(20, 0, 20, 12, 2, 0, rnd);
    ASSERT_TRUE(r);
    // Rows 0-6, 5-11 and 10-16: together one block reaching 5 rows past the picture.
    EXPECT_TRUE(*r == Region::CreateRectRgn(0, 0, 20, 17));
    Random again(5);
    const OptRegion cols = RaggedStripRegion(0, 12, 12, 12, 0, 1, again);
    ASSERT_TRUE(cols);
    EXPECT_TRUE(*cols == Region::CreateRectRgn(0, 0, 7, 12));
}

TEST(RaggedStripRegion, ExtentAtTheSideGivesExactStripsWhateverTheSeed)
{
    for (std::uint32_t seed : {0u, 1u, 0xDEADBEEFu}) {
        Random rnd(seed);
        const OptRegion r = RaggedStripRegion(50, 40, 50, 40, 4, 3, rnd);
        ASSERT_TRUE(r);
        // Rows from both edges meet at the middle; columns from the centre reach both edges.
        EXPECT_TRUE(inPicture(*r, 50, 40) == Region::CreateRectRgn(0, 0, 50, 40));
        Random other(seed);
        const OptRegion cols = RaggedStripRegion(0, 40, 50, 40, 0, 3, other);
        ASSERT_TRUE(cols);
        EXPECT_TRUE(*cols == unionOf({rect(0, 0, 5, 40), rect(25, 0, 30, 40)}));
    }
}

TEST(RaggedStripRegion, ReversedCentreStripStillCoversItsSpan)
{
    // Early in the opening the jitter can exceed the extent, so the strip's computed left end
    // lies right of the centre line; the rectangle is taken with its ends swapped.
    const int W = 700, H = 5, X = 4;
    std::uint32_t seed = 0;
    int j1 = 0;
    for (;; ++seed) {
        Random probe(seed);
        j1 = jitterOf(probe, W / 7);
        if (j1 > X + 10)
            break;
    }
    Random rnd(seed);
    const OptRegion r = RaggedStripRegion(X, 0, W, H, 3, 0, rnd);
    ASSERT_TRUE(r);
    const int edge = (W - X + j1) / 2;
    ASSERT_GT(edge, W / 2);
    for (int x = W / 2; x < edge; ++x)
        EXPECT_TRUE(r->contains(x, 0)) << x;
}

struct DrawCase {
    int rowMode, colMode;
    int drawsPerRow, drawsPerColumn;
};

class RaggedDraws : public ::testing::TestWithParam<DrawCase> {};

// The draws are taken even when the jitter range is 0: the generator must end where the
// rules leave it, or every later style choice of the show changes.
TEST_P(RaggedDraws, TakesItsDrawsEvenWithoutJitter)
{
    const DrawCase c = GetParam();
    const int W = 60, H = 23; // 5 row strips, 3 columns
    for (const int extent : {0, 10, 60}) {
        Random rnd(99);
        (void)RaggedStripRegion(extent, extent, W, H, c.rowMode, c.colMode, rnd);
        Random expected(99);
        for (int i = 0; i < 5 * c.drawsPerRow + 3 * c.drawsPerColumn; ++i)
            (void)expected.draw(0);
        EXPECT_EQ(rnd.state(), expected.state()) << "extent " << extent;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, RaggedDraws,
                         ::testing::Values(DrawCase{1, 0, 2, 0}, DrawCase{2, 0, 2, 0}, DrawCase{3, 0, 4, 0},
                                           DrawCase{4, 0, 4, 0}, DrawCase{7, 0, 4, 0}, DrawCase{0, 1, 0, 2},
                                           DrawCase{0, 4, 0, 4}, DrawCase{2, 3, 2, 4}, DrawCase{0, 0, 0, 0}),
                         [](const auto& info) {
                             return "Rows" + std::to_string(info.param.rowMode) + "Columns"
                                    + std::to_string(info.param.colMode);
                         });

TEST(RaggedStripRegion, ModesZeroGiveNoneAndTakeNoDraw)
{
    Random rnd(3);
    EXPECT_FALSE(RaggedStripRegion(10, 10, 50, 50, 0, 0, rnd).has_value());
    EXPECT_EQ(rnd.state(), 3u);
}

TEST(TriangleRegion, CollinearPointsGiveAnEmptyRegion)
{
    EXPECT_TRUE(TriangleRegion(0, 0, 10, 10, 20, 20).isEmpty());
    EXPECT_TRUE(TriangleRegion(5, 5, 5, 5, 5, 5).isEmpty());
    EXPECT_TRUE(TriangleRegion(0, 7, 30, 7, 12, 7).isEmpty());
    EXPECT_FALSE(TriangleRegion(0, 0, 10, 0, 0, 10).isEmpty());
}

} // namespace
} // namespace lmvo
