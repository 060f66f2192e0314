// Which screen a show fills: a screen named by number or name, and the show window on the
// chosen screen and on another when that one is unplugged.
#include "forms/ScreenChoice.h"
#include "forms/uSlide.h"
#include "scan/SharedState.h"
#include "tests/forms/OffscreenScreens.h"
#include "tests/support/AwaitEvents.h"

#include <lumivo/TransitionView.h>

#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lmvo {
namespace {

TEST(ScreenChoice, NamesAScreenByNumberFromOneOrByNameAndListsThemOnOneLine)
{
    const QStringList names{QStringLiteral("HDMI-1"), QStringLiteral("eDP-1")};
    const std::pair<const char*, int> cases[] = {{"1", 0}, {"2", 1}, {"02", 1}, {"eDP-1", 1}, {"hdmi-1", 0}, {"0", -1},
                                                 {"3", -1}, {"-1", -1}, {"99999999999", -1}, {"HDMI", -1}, {"", -1}};
    for (const auto& [wanted, index] : cases)
        EXPECT_EQ(screenIndex(names, QString::fromUtf8(wanted)).value_or(-1), index) << wanted;
    EXPECT_EQ(screenListText(names), QStringLiteral("1 = HDMI-1, 2 = eDP-1"));
}

// The monitor the show runs on is unplugged between two pictures: the show goes on over the
// laptop's screen, full screen, with the picture it showed, and its next picture fits there.
TEST(ScreenUnplugged, MovesTheShowToAnotherScreenWithItsPicture)
{
    const test::OffscreenScreens screens;
    if (!screens.settable())
        GTEST_SKIP() << "the platform's screens cannot be set";
    screens.plug({test::kLaptop, test::kMonitor});
    QTemporaryDir dir;
    for (const QRgb colour : {0xFFFF0000u, 0xFF00FF00u}) {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(colour);
        PictureFiles.push_back(dir.filePath(QStringLiteral("%1.bmp").arg(PictureFiles.size())).toStdString());
        ASSERT_TRUE(image.save(QString::fromStdString(PictureFiles.back()), "BMP"));
    }
    Tfrm_slide form(findScreen(test::kMonitor.name));
    form.TransitionView()->SetDelay(0);
    form.TransitionView()->SetStep(100);
    const auto covers = [&form](const test::OffscreenScreen& s) {
        return awaitEvents([&] { return form.geometry() == s.geometry && form.screen()->name() == s.name; });
    };
    const auto centre = [&form] {
        const QImage b = form.TransitionView()->currentFrame();
        return b.isNull() ? Color(0) : Color(b.pixel(b.width() / 2, b.height() / 2) & 0xFFFFFF);
    };
    // A tick that waits for its picture goes on when the picture has come.
    const auto tick = [&form] {
        form.TimerTimer();
        return awaitEvents([&form] { return !form.TickWaiting(); });
    };
    form.show();
    ASSERT_TRUE(covers(test::kMonitor));
    ASSERT_TRUE(tick());
    ASSERT_EQ(centre(), 0xFF0000u);

    screens.plug({test::kLaptop});
    EXPECT_TRUE(covers(test::kLaptop));
    EXPECT_TRUE(form.isFullScreen());
    EXPECT_EQ(centre(), 0xFF0000u);
    EXPECT_TRUE(tick());
    EXPECT_EQ(centre(), 0x00FF00u);
    EXPECT_EQ(form.PictureSize(), (DisplaySize{1280, 800}));
    PictureFiles.clear();
}

} // namespace
} // namespace lmvo
