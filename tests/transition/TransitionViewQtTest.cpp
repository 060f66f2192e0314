// The control as a Qt program sees it through the shared library: its properties through Qt's
// meta-object system, and the order of its signals.
#include <lumivo/TransitionView.h>

#include <QImage>
#include <QPixmap>
#include <QVariant>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lmvo {
namespace {

using View = TTransitionView;

struct PropertyCase {
    const char* name;
    QVariant written;
    QVariant read; // what reads back: setters clamp some values
};

class PropertyRoundTrip : public ::testing::TestWithParam<PropertyCase> {};
TEST_P(PropertyRoundTrip, ReadsBackThroughQtsPropertySystem)
{
    View v;
    const PropertyCase& c = GetParam();
    ASSERT_TRUE(v.setProperty(c.name, c.written));
    EXPECT_EQ(v.property(c.name), c.read);
}
INSTANTIATE_TEST_SUITE_P(
    Properties, PropertyRoundTrip,
    ::testing::Values(PropertyCase{"style", 7, 7}, PropertyCase{"step", 0, 1}, PropertyCase{"step", 250, 100},
                      PropertyCase{"delay", 500, 500}, PropertyCase{"stretch", true, true},
                      PropertyCase{"stretchFine", true, true}, PropertyCase{"center", true, true},
                      PropertyCase{"reverse", true, true}, PropertyCase{"threaded", false, false},
                      PropertyCase{"autoSize", false, false}, PropertyCase{"manual", true, true},
                      PropertyCase{"threadPriority", QVariant::fromValue(View::TThreadPriority::tpHighest),
                                   QVariant::fromValue(View::TThreadPriority::tpHighest)},
                      PropertyCase{"bgMode", QVariant::fromValue(View::TBackgroundMode::bmCentered),
                                   QVariant::fromValue(View::TBackgroundMode::bmCentered)},
                      PropertyCase{"align", QVariant::fromValue(View::TAlign::alClient),
                                   QVariant::fromValue(View::TAlign::alClient)},
                      PropertyCase{"color", QColor(0x12, 0x34, 0x56), QColor(0x12, 0x34, 0x56)},
                      // Progress moves only during a transition.
                      PropertyCase{"progress", 50, 0}),
    [](const auto& info) { return std::string(info.param.name) + std::to_string(info.index); });

TEST(TransitionViewQt, PicturesGoInAsImagesAndComeOutAsFrames)
{
    View v;
    QImage image(30, 20, QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 0, 128)); // half transparent: composed over black
    v.setProperty("picture", QPixmap::fromImage(image));
    EXPECT_EQ(v.size(), QSize(30, 20));
    EXPECT_TRUE(v.currentFrame().isNull()) << "a picture alone shows nothing";
    QString error;
    EXPECT_FALSE(v.loadPicture(QStringLiteral("/nonexistent/picture.png"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("picture.png"))) << error.toStdString();

    v.SetThreaded(false);
    v.SetStep(100);
    v.Execute();
    const QImage frame = v.currentFrame();
    ASSERT_EQ(frame.size(), QSize(30, 20));
    EXPECT_NEAR(qRed(frame.pixel(29, 19)), 128, 1);
    EXPECT_EQ(qGreen(frame.pixel(29, 19)), 0);
}

TEST(TransitionViewQt, SignalsFollowATransitionAndItsStop)
{
    View v;
    v.SetThreaded(false);
    v.SetDelay(0);
    v.SetStep(50);
    v.setPicture(QImage(8, 8, QImage::Format_RGB32));
    std::vector<std::string> seen;
    QObject::connect(&v, &View::busyChanged, [&](bool busy) { seen.push_back(busy ? "busy" : "idle"); });
    QObject::connect(&v, &View::started, [&] { seen.push_back("started"); });
    QObject::connect(&v, &View::progressChanged, [&](int p) { seen.push_back(std::to_string(p)); });
    QObject::connect(&v, &View::completed, [&] { seen.push_back("completed"); });
    QObject::connect(&v, &View::stopped, [&] { seen.push_back("stopped"); });
    v.Execute();
    EXPECT_EQ(seen, (std::vector<std::string>{"busy", "started", "50", "100", "completed", "idle"}));

    v.SetManual(true);
    seen.clear();
    v.Execute();
    v.SetProgress(30);
    v.Stop();
    EXPECT_EQ(seen, (std::vector<std::string>{"busy", "started", "30", "stopped", "idle"}));
}

TEST(TransitionViewQt, ACustomDrawSlotRevealsThroughTheClipItLeaves)
{
    View v;
    v.SetThreaded(false);
    v.SetStyle(0);
    v.SetManual(true);
    QImage picture(10, 4, QImage::Format_RGB32);
    picture.fill(Qt::green);
    v.setPicture(picture);
    QObject::connect(&v, &View::customDraw, [&](FrameCanvas* newPicture, FrameCanvas* screen) {
        EXPECT_EQ(newPicture->width(), 10);
        screen->intersectClip(QRegion(0, 0, screen->width() * v.Progress() / 100, screen->height()));
    });
    v.Execute();
    v.SetProgress(40);
    const QImage frame = v.currentFrame();
    EXPECT_EQ(frame.pixel(3, 2), QColor(Qt::green).rgb());
    EXPECT_EQ(frame.pixel(4, 2), qRgb(0, 0, 0)) << "the old screen, never painted, is black";
    v.Stop();
}

} // namespace
} // namespace lmvo
