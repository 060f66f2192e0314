// The frame renderer's shared part: style 0, the frame at progress 0 and 100, styles beyond
// the last, and the clip a custom-draw handler leaves behind.
#include "transition/engine/FrameRenderer.h"

#include "tests/raster/TestPictures.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace lmvo {
namespace {

constexpr Color OldColor = 0x112233;
constexpr Color NewColor = 0x445566;
constexpr Color InkColor = 0xABCDEF;
constexpr int W = 30;
constexpr int H = 20;

using test::countColor;
using test::uniform;

class FakeHost : public FrameHost {
public:
    std::vector<Rect> invalidated;
    std::function<void(Bitmap& picture, Bitmap& screen)> handler;
    bool goesOn = true;

    void invalidateArea(const Rect& area) override { invalidated.push_back(area); }
    bool customDraw(Bitmap& picture, Bitmap& screen) override
    {
        if (!handler)
            return false;
        handler(picture, screen);
        return true;
    }
    [[nodiscard]] bool transitionGoesOn() const override { return goesOn; }
};

class FrameRendererTest : public ::testing::Test {
protected:
    Bitmap display{W, H};
    Bitmap oldBitmap = test::filled(W, H, OldColor);
    Bitmap newBitmap = test::filled(W, H, NewColor);
    FakeHost host;
    Random rnd{1};

    bool compose(int style, std::uint8_t& progress)
    {
        return composeFrame(host, FrameBuffers{display, oldBitmap, newBitmap}, style, 4, progress, rnd);
    }
};

TEST_F(FrameRendererTest, Style0WithoutHandlerShowsTheWholeNewPictureAndEnds)
{
    std::uint8_t progress = 37;
    EXPECT_TRUE(compose(0, progress));
    EXPECT_EQ(progress, 100);
    EXPECT_TRUE(uniform(display, display.bounds(), NewColor));
    ASSERT_EQ(host.invalidated.size(), 1u);
    EXPECT_EQ(host.invalidated[0], display.bounds());
}

TEST_F(FrameRendererTest, Style0HandlerSeesTheOldScreenAndItsClipLimitsTheNewPicture)
{
    const Bitmap* seenPicture = nullptr;
    bool screenHeldOld = false;
    host.handler = [&](Bitmap& picture, Bitmap& screen) {
        seenPicture = &picture;
        screenHeldOld = uniform(screen, screen.bounds(), OldColor);
        screen.intersectClip(Region::CreateRectRgn(0, 0, 10, H));
    };
    std::uint8_t progress = 50;
    EXPECT_TRUE(compose(0, progress));
    EXPECT_EQ(seenPicture, &newBitmap);
    EXPECT_TRUE(screenHeldOld);
    EXPECT_EQ(progress, 50);
    EXPECT_TRUE(uniform(display, Rect{0, 0, 10, H}, NewColor));
    EXPECT_TRUE(uniform(display, Rect{10, 0, W, H}, OldColor));
    EXPECT_FALSE(display.clip().has_value());
}

TEST_F(FrameRendererTest, Style0HandlerDrawingAloneRemainsAtProgressZero)
{
    host.handler = [](Bitmap&, Bitmap& screen) { screen.fillRect(Rect{0, 0, 5, 5}, InkColor); };
    std::uint8_t progress = 0;
    EXPECT_TRUE(compose(0, progress));
    EXPECT_TRUE(uniform(display, Rect{0, 0, 5, 5}, InkColor));
    EXPECT_EQ(countColor(display, display.bounds(), OldColor), W * H - 25);
}

TEST_F(FrameRendererTest, AClipLeftByAHandlerDoesNotLeakIntoTheNextFrame)
{
    // At 100 the new picture is drawn through the handler's clip, which stays selected...
    host.handler = [](Bitmap&, Bitmap& screen) { screen.intersectClip(Region::CreateRectRgn(0, 0, 10, H)); };
    std::uint8_t progress = 100;
    EXPECT_TRUE(compose(0, progress));
    EXPECT_TRUE(uniform(display, Rect{0, 0, 10, H}, NewColor));
    EXPECT_TRUE(uniform(display, Rect{10, 0, W, H}, OldColor));

    // ...but the next frame starts without it: the whole old picture, then the whole new one.
    host.handler = nullptr;
    progress = 100;
    EXPECT_TRUE(compose(0, progress));
    EXPECT_TRUE(uniform(display, display.bounds(), NewColor));
    EXPECT_FALSE(display.clip().has_value());
}

TEST_F(FrameRendererTest, AHandlerThatEndsTheTransitionAbandonsTheFrame)
{
    host.handler = [](Bitmap&, Bitmap& screen) { screen.fillRect(Rect{0, 0, 5, 5}, InkColor); };
    host.goesOn = false;
    std::uint8_t progress = 60;
    EXPECT_FALSE(compose(0, progress));
    EXPECT_TRUE(host.invalidated.empty());
    EXPECT_EQ(countColor(display, display.bounds(), NewColor), 0);
}

class BeyondLastStyle : public FrameRendererTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(BeyondLastStyle, ShowsOnlyTheOldPictureAndAsksForNoRepaint)
{
    const auto [style, p] = GetParam();
    display.fillRect(display.bounds(), InkColor);
    std::uint8_t progress = std::uint8_t(p);
    EXPECT_FALSE(compose(style, progress));
    EXPECT_EQ(progress, p);
    EXPECT_TRUE(uniform(display, display.bounds(), OldColor));
    EXPECT_TRUE(host.invalidated.empty());
}

INSTANTIATE_TEST_SUITE_P(Styles, BeyondLastStyle,
                         ::testing::Combine(::testing::Values(118, 255), ::testing::Values(0, 50, 100)),
                         [](const auto& info) {
                             return "Style" + std::to_string(std::get<0>(info.param)) + "At"
                                    + std::to_string(std::get<1>(info.param));
                         });

} // namespace
} // namespace lmvo
