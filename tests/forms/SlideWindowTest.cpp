// The slideshow window driven through its real modal loop on the offscreen platform, with a
// short interval and pictures of solid colours, so the colour shown tells which picture it is.
#include "forms/ErrorReporter.h"
#include "forms/uSlide.h"
#include "scan/SharedState.h"
#include "transition/TransitionView.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace lmvo {
namespace {

class RecordingBoxes final : public MessageBoxes {
public:
    void show(QWidget*, const MessageBoxRequest& box) override { shown.push_back(box); }
    std::vector<MessageBoxRequest> shown;
};

const std::vector<Color> palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF};

class SlideWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setMessageBoxes(&boxes);
        PictureFiles.clear();
        PictureIndex = 0;
        LoopPlay = 0;
    }
    void TearDown() override
    {
        setMessageBoxes(nullptr);
        PictureFiles.clear();
    }

    // Pictures named p<i>.bmp in solid colours; `broken` ones hold garbage.
    void makePictures(int count, std::vector<int> broken = {})
    {
        for (int i = 0; i < count; ++i) {
            const QString path = dir.filePath(QStringLiteral("p%1.bmp").arg(i));
            if (std::find(broken.begin(), broken.end(), i) != broken.end()) {
                QFile f(path);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write("not a picture at all");
            } else {
                QImage img(40, 30, QImage::Format_RGB32);
                img.fill(QColor::fromRgb(QRgb(0xFF000000u | palette[std::size_t(i)])));
                ASSERT_TRUE(img.save(path, "BMP"));
            }
            PictureFiles.push_back(path.toStdString());
        }
    }

    // Creates the window, records the picture every completed transition shows, and runs the
    // modal show; `onShown(n)` runs after the n-th display.
    std::vector<int> runShow(const std::function<void(Tfrm_slide&, int)>& onShown = {},
                             const std::function<void(Tfrm_slide&)>& prepare = {})
    {
        std::vector<int> shown;
        Tfrm_slide form;
        form.resize(320, 240);
        form.TransitionView()->SetDelay(0);
        form.TransitionView()->SetStep(25);
        form.TransitionView()->OnComplete = [&](TTransitionView& v) {
            const Bitmap& b = v.DisplayBitmap();
            const Color c = b.pixel(b.width() / 2, b.height() / 2);
            const auto it = std::find(palette.begin(), palette.end(), c);
            shown.push_back(it == palette.end() ? -1 : int(it - palette.begin()));
            if (onShown)
                onShown(form, int(shown.size()));
        };
        if (prepare)
            prepare(form);
        form.SetTimerInterval(20);
        QTimer::singleShot(20000, &form, [&] {
            ADD_FAILURE() << "the show did not end";
            form.N4Click();
        });
        form.exec();
        return shown;
    }

    QTemporaryDir dir;
    RecordingBoxes boxes;
};

TEST_F(SlideWindowTest, ShowWithoutLoopingShowsEveryPictureOncePictureZeroLastThenCloses)
{
    makePictures(3);
    EXPECT_EQ(runShow(), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(PictureIndex, 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SlideWindowTest, LoopingShowWrapsUntilEscape)
{
    makePictures(3);
    LoopPlay = 1;
    const auto shown = runShow([](Tfrm_slide& f, int n) {
        if (n == 5)
            f.FormKeyDown(Qt::Key_Escape);
    });
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1, 2}));
}

TEST_F(SlideWindowTest, PauseAndContinuePassOverOnePicture)
{
    makePictures(4);
    const auto shown = runShow([](Tfrm_slide& f, int n) {
        if (n == 1) {
            f.FormKeyDown(Qt::Key_Space);
            EXPECT_FALSE(f.N1()->isEnabled());
            EXPECT_TRUE(f.N2()->isEnabled());
            EXPECT_FALSE(f.TimerEnabled());
            f.FormKeyDown(Qt::Key_Space);
            EXPECT_TRUE(f.N1()->isEnabled());
            EXPECT_FALSE(f.N2()->isEnabled());
            EXPECT_TRUE(f.TimerEnabled());
        }
    });
    EXPECT_EQ(shown, (std::vector<int>{1, 3, 0}));
}

TEST_F(SlideWindowTest, PausePressedDuringATransitionHolds)
{
    makePictures(3);
    LoopPlay = 1;
    int progressCalls = 0;
    bool checked = false;
    const auto shown = runShow({}, [&](Tfrm_slide& f) {
        f.TransitionView()->OnProgress = [&](TTransitionView&) {
            if (++progressCalls != 2)
                return;
            f.FormKeyDown(Qt::Key_Space); // pause in the middle of the first transition
            QTimer::singleShot(200, &f, [&] {
                // Several intervals later the show is still paused, with the menu to match.
                EXPECT_FALSE(f.TimerEnabled());
                EXPECT_FALSE(f.TransitionView()->Busy());
                EXPECT_FALSE(f.N1()->isEnabled());
                EXPECT_TRUE(f.N2()->isEnabled());
                checked = true;
                f.FormKeyDown(Qt::Key_Escape);
            });
        };
    });
    EXPECT_TRUE(checked);
    EXPECT_TRUE(shown.empty()); // the stopped transition never completed
    EXPECT_EQ(progressCalls, 2);
}

TEST_F(SlideWindowTest, EscapeDuringATransitionStopsItAndStartsNoOther)
{
    makePictures(3);
    LoopPlay = 1;
    int progressCalls = 0;
    const auto shown = runShow({}, [&](Tfrm_slide& f) {
        f.TransitionView()->OnProgress = [&](TTransitionView&) {
            if (++progressCalls == 2)
                f.FormKeyDown(Qt::Key_Escape);
        };
    });
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(progressCalls, 2);
}

TEST_F(SlideWindowTest, WaitingPanelCoversTheFirstIntervalAndMenuStartsRunning)
{
    makePictures(2);
    Tfrm_slide form;
    EXPECT_TRUE(form.N1()->isEnabled());
    EXPECT_FALSE(form.N2()->isEnabled());
    EXPECT_EQ(form.N1()->text(), QStringLiteral("暂停"));
    EXPECT_EQ(form.N2()->text(), QStringLiteral("继续"));
    EXPECT_EQ(form.N4()->text(), QStringLiteral("退出"));
    EXPECT_TRUE(form.TimerEnabled());
    EXPECT_EQ(form.TimerInterval(), 5000);
    EXPECT_EQ(PictureIndex, 1); // picture 0 is loaded, not shown
    form.show();
    EXPECT_TRUE(form.WaitingPanel()->isVisible());
    form.N1Click();
    EXPECT_FALSE(form.TimerEnabled());
    form.N2Click();
    EXPECT_TRUE(form.TimerEnabled());
    form.TransitionView()->SetDelay(0);
    form.TimerTimer();
    EXPECT_FALSE(form.WaitingPanel()->isVisible());
}

TEST_F(SlideWindowTest, WindowManagerCloseEndsTheShowLikeExit)
{
    makePictures(2);
    Tfrm_slide form;
    form.show();
    form.close();
    EXPECT_TRUE(form.CloseRequested());
    EXPECT_FALSE(form.TimerEnabled());
}

TEST_F(SlideWindowTest, BrokenPictureIsReportedOnceAndPassedOver)
{
    makePictures(3, {1});
    LoopPlay = 1;
    const auto shown = runShow([](Tfrm_slide& f, int n) {
        if (n == 4)
            f.FormKeyDown(Qt::Key_Escape);
    });
    EXPECT_EQ(shown, (std::vector<int>{2, 0, 2, 0}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("p1.bmp")));
    EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Stop);
}

TEST_F(SlideWindowTest, ShowOfOnlyBrokenPicturesEnds)
{
    makePictures(2, {0, 1});
    LoopPlay = 1;
    EXPECT_TRUE(runShow().empty());
    QCoreApplication::processEvents();
    EXPECT_GE(boxes.shown.size(), 1u);
    EXPECT_LE(boxes.shown.size(), 2u);
}

TEST_F(SlideWindowTest, EmptyListIsInert)
{
    Tfrm_slide form;
    EXPECT_FALSE(form.TimerEnabled());
    form.TimerTimer();
    form.N2Click();
    EXPECT_FALSE(form.TimerEnabled());
    EXPECT_FALSE(form.TransitionView()->Busy());
    EXPECT_EQ(PictureIndex, 0);
}

TEST_F(SlideWindowTest, TimerIntervalZeroKeepsTheTimerStopped)
{
    makePictures(1);
    Tfrm_slide form;
    form.SetTimerInterval(0);
    EXPECT_TRUE(form.TimerEnabled());
    form.show();
    bool ticked = false;
    QTimer::singleShot(100, &form, [&] { ticked = form.TransitionView()->Busy(); });
    QTimer probe;
    probe.setSingleShot(true);
    probe.start(150);
    while (probe.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_FALSE(ticked);
    EXPECT_TRUE(form.WaitingPanel()->isVisible());
}

TEST_F(SlideWindowTest, EveryPictureCoversTheWholeClientArea)
{
    makePictures(2);
    const auto shown = runShow([](Tfrm_slide& f, int n) {
        if (n != 1)
            return;
        TTransitionView& v = *f.TransitionView();
        EXPECT_EQ(v.geometry(), v.parentWidget()->rect());
        v.repaint();
        const Bitmap& screen = v.PaintBuffer();
        ASSERT_FALSE(screen.isEmpty());
        for (auto [x, y] : {std::pair{0, 0}, {screen.width() - 1, 0}, {0, screen.height() - 1},
                            {screen.width() - 1, screen.height() - 1}})
            EXPECT_EQ(screen.pixel(x, y), palette[1]) << x << "," << y;
    });
    EXPECT_EQ(shown, (std::vector<int>{1, 0}));
}

} // namespace
} // namespace lmvo
