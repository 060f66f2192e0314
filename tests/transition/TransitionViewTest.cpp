// The picture view: properties, painting, the in-line and the threaded animation, and the
// re-entrant cases where handlers stop, restart or destroy the control mid-transition.
#include "transition/PictureGraphic.h"
#include "transition/TransitionViewPrivate.h"

#include "base/Clock.h"
#include "tests/raster/TestPictures.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace lmvo {
namespace {

using View = TTransitionView;
constexpr Color OldColor = 0x0000FF;
constexpr Color NewColor = 0x00FF00;

using test::uniform;

void fill(TPicture& p, int w, int h, Color c) { setGraphic(p, test::filled(w, h, c)); }

TTransitionViewPrivate& in(View& v) { return TTransitionViewPrivate::of(v); }

// Runs events until `done` holds; false after a generous bound (a hang, not a timing check).
bool spinUntil(const std::function<bool()>& done, int ms = 20000)
{
    const std::int64_t deadline = nowMs() + ms;
    while (!done()) {
        if (nowMs() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

bool workersGone()
{
    return spinUntil([] { return TAnimateThread::liveCount() == 0; });
}

struct Events {
    std::vector<int> progress;
    int completes = 0;
};

// A control with a 20 x 10 picture, a style that draws only the old picture, and a short
// delay; `events` records what it raises.
std::unique_ptr<View> makeView(Events& events, bool threaded = false)
{
    auto v = std::make_unique<View>();
    v->SetThreaded(threaded);
    v->SetDelay(1);
    v->SetStyle(200);
    fill(v->Picture(), 20, 10, NewColor);
    v->OnProgress = [&events](View& s) { events.progress.push_back(s.Progress()); };
    v->OnComplete = [&events](View&) { ++events.completes; };
    return v;
}

// A custom draw that wipes the new picture in from the left.
void wipe(View& v, FrameCanvas&, FrameCanvas& screen)
{
    screen.intersectClip(QRegion(0, 0, screen.width() * v.Progress() / 100, screen.height()));
}

std::vector<int> range(int from, int to, int by)
{
    std::vector<int> r;
    for (int p = from; by > 0 ? p <= to : p >= to; p += by)
        r.push_back(p);
    return r;
}

// ---------------------------------------------------------------- properties

TEST(TransitionView, NewControlHasTheDefaultsAndShowsOnlyItsColour)
{
    View v;
    EXPECT_EQ(v.width(), 100);
    EXPECT_EQ(v.height(), 100);
    EXPECT_EQ(v.Step(), 4);
    EXPECT_EQ(v.Delay(), 40);
    EXPECT_EQ(v.Style(), 51);
    EXPECT_EQ(v.BgMode(), View::TBackgroundMode::bmTiled);
    EXPECT_TRUE(v.AutoSize());
    EXPECT_TRUE(v.Threaded());
    EXPECT_EQ(v.ThreadPriority(), View::TThreadPriority::tpNormal);
    EXPECT_FALSE(v.Manual() || v.Reverse() || v.Center() || v.Stretch() || v.StretchFine() || v.Busy());
    EXPECT_EQ(v.Progress(), 0);
    EXPECT_EQ(v.Color(), v.palette().color(QPalette::Window).rgb() & 0xFFFFFFu);
    v.SetColor(0x123456);
    in(v).Paint();
    EXPECT_EQ(in(v).PaintBuffer().width(), 100);
    EXPECT_TRUE(uniform(in(v).PaintBuffer(), in(v).PaintBuffer().bounds(), 0x123456));
}

class StepClamp : public ::testing::TestWithParam<std::pair<int, int>> {};
TEST_P(StepClamp, KeepsStepWithinOneToHundred)
{
    View v;
    v.SetStep(GetParam().first);
    EXPECT_EQ(v.Step(), GetParam().second);
}
INSTANTIATE_TEST_SUITE_P(Values, StepClamp,
                         ::testing::Values(std::pair{0, 1}, std::pair{1, 1}, std::pair{100, 100},
                                           std::pair{250, 100}, std::pair{65535, 100}),
                         [](const auto& info) { return "Step" + std::to_string(info.param.first); });

TEST(TransitionView, LoadingAPictureResizesOnlyWithoutAlignAndChangesNothingShown)
{
    QWidget parent;
    parent.resize(300, 200);
    View v(&parent);
    parent.show(); // a hidden parent delivers its resizes only when shown
    int changes = 0;
    v.OnChange = [&](View&) { ++changes; };
    fill(v.Picture(), 40, 30, NewColor);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(v.size(), QSize(40, 30));
    EXPECT_TRUE(in(v).DisplayBitmap().isEmpty());

    v.SetAlign(View::TAlign::alClient);
    EXPECT_EQ(v.size(), QSize(300, 200));
    parent.resize(320, 240);
    EXPECT_EQ(v.size(), QSize(320, 240));
    fill(v.Picture(), 50, 50, NewColor);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(v.size(), QSize(320, 240));
}

TEST(TransitionView, MouseEnterAndLeaveRaiseTheirEvents)
{
    View v;
    int enters = 0, leaves = 0;
    v.OnMouseEnter = [&](View&) { ++enters; };
    v.OnMouseLeave = [&](View&) { throw std::runtime_error("must not reach Qt"); };
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&v, &enter);
    QCoreApplication::sendEvent(&v, &leave);
    v.OnMouseLeave = [&](View&) { ++leaves; };
    QCoreApplication::sendEvent(&v, &leave);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(leaves, 1);
}

// ---------------------------------------------------------------- in-line transitions

struct Sequence {
    int step;
    bool reverse;
    std::vector<int> frames;
};

class FrameSequence : public ::testing::TestWithParam<Sequence> {};
TEST_P(FrameSequence, DrawsEveryStepThenCompletesOnce)
{
    Events e;
    auto v = makeView(e);
    v->SetStep(GetParam().step);
    v->SetReverse(GetParam().reverse);
    v->Execute();
    EXPECT_EQ(e.progress, GetParam().frames);
    EXPECT_EQ(e.completes, 1);
    EXPECT_FALSE(v->Busy());
    EXPECT_FALSE(in(*v).HasOldBitmap() || in(*v).HasNewBitmap());
}
INSTANTIATE_TEST_SUITE_P(
    Steps, FrameSequence,
    ::testing::Values(Sequence{4, false, range(4, 100, 4)},
                      Sequence{3, false, [] { auto r = range(3, 99, 3); r.push_back(100); return r; }()},
                      Sequence{100, false, {100}},
                      // A new control's first reverse transition draws frame 100 first.
                      Sequence{4, true, range(100, 0, -4)}, Sequence{30, true, {100, 70, 40, 10, 0}}),
    [](const auto& info) { return "Step" + std::to_string(info.param.step) + (info.param.reverse ? "Reverse" : ""); });

TEST(TransitionView, ExecuteWithoutPictureOrWhileBusyDoesNothing)
{
    Events e;
    auto v = makeView(e);
    v->Picture().clear();
    v->Execute();
    EXPECT_FALSE(v->Busy());
    fill(v->Picture(), 20, 10, NewColor);
    int nested = 0;
    v->OnProgress = [&](View& s) {
        if (nested++ == 0)
            s.Execute(); // ignored: already busy
    };
    v->Execute();
    EXPECT_EQ(nested, 25);
    EXPECT_TRUE(e.progress.empty());
}

TEST(TransitionView, StopKeepsTheLastFrameFreesTheBuffersAndRaisesNoComplete)
{
    Events e;
    auto v = makeView(e);
    v->SetStyle(0);
    v->OnCustomDraw = wipe;
    v->OnProgress = [&](View& s) {
        e.progress.push_back(s.Progress());
        if (s.Progress() == 40)
            s.Stop();
    };
    v->Execute();
    EXPECT_EQ(e.progress.back(), 40);
    EXPECT_EQ(e.completes, 0);
    EXPECT_FALSE(v->Busy() || in(*v).HasOldBitmap() || in(*v).HasNewBitmap());
    // Columns 0..7 of 20 show the new picture; the unpainted snapshot is black.
    EXPECT_TRUE(uniform(in(*v).DisplayBitmap(), Rect{0, 0, 8, 10}, NewColor));
    EXPECT_TRUE(uniform(in(*v).DisplayBitmap(), Rect{8, 0, 20, 10}, 0x000000));
    v->Stop(); // idle: nothing
    EXPECT_EQ(v->Progress(), 40);
}

TEST(TransitionView, StopFromCustomDrawDoesNotFreeTheFrameItIsDrawing)
{
    Events e;
    auto v = makeView(e);
    v->SetStyle(0);
    v->OnCustomDraw = [](View& s, FrameCanvas&, FrameCanvas&) {
        if (s.Progress() == 20)
            s.Stop();
    };
    v->Execute();
    EXPECT_EQ(e.progress, range(4, 16, 4)); // the abandoned frame raises no OnProgress
    EXPECT_EQ(e.completes, 0);
    EXPECT_FALSE(v->Busy());
}

// The buffers of one transition serve the next of the same size: nothing a handler left on
// them (paint, clip, brush) may show through.
TEST(TransitionView, ASecondTransitionOfTheSameSizeStartsFromCleanBuffers)
{
    Events e;
    auto v = makeView(e);
    v->SetStyle(0);
    v->OnCustomDraw = [](View&, FrameCanvas& picture, FrameCanvas&) {
        picture.image().fill(Qt::red);
        TTransitionViewPrivate::bitmapOf(picture).setBrushColor(0xFF0000);
        picture.intersectClip(QRegion(0, 0, 1, 1));
    };
    v->Execute();
    ASSERT_EQ(e.completes, 1);
    v->OnCustomDraw = nullptr;
    fill(v->Picture(), 20, 10, OldColor);
    v->Execute();
    EXPECT_EQ(e.completes, 2);
    EXPECT_TRUE(uniform(in(*v).DisplayBitmap(), in(*v).DisplayBitmap().bounds(), OldColor));
}

TEST(TransitionView, ManualBeforeExecuteLetsTheCallerDriveTheProgress)
{
    Events e;
    auto v = makeView(e);
    v->SetManual(true);
    EXPECT_EQ(v->Progress(), 0);
    v->Execute();
    EXPECT_TRUE(v->Busy());
    EXPECT_TRUE(e.progress.empty());
    v->SetProgress(150);
    v->SetProgress(100);
    EXPECT_EQ(e.progress, std::vector<int>{100});
    EXPECT_TRUE(v->Busy());
    v->SetManual(false); // at the end already: completes at once
    EXPECT_FALSE(v->Busy());
    EXPECT_EQ(e.completes, 1);
    v->SetProgress(50); // idle: nothing
    EXPECT_EQ(e.progress.size(), 1u);

    v->SetManual(true);
    v->Execute();
    v->Stop();
    EXPECT_FALSE(v->Busy());
    EXPECT_EQ(e.completes, 1);
}

TEST(TransitionView, ManualDuringATransitionPausesItAndClearingItResumes)
{
    Events e;
    auto v = makeView(e);
    v->OnProgress = [&](View& s) {
        e.progress.push_back(s.Progress());
        if (s.Progress() == 20)
            s.SetManual(true);
    };
    v->Execute();
    EXPECT_TRUE(v->Busy());
    EXPECT_EQ(v->Progress(), 20);
    EXPECT_EQ(e.completes, 0);
    v->SetManual(false);
    EXPECT_EQ(e.progress, range(4, 100, 4));
    EXPECT_EQ(e.completes, 1);
}

TEST(TransitionView, ReverseFromBelowTheStepGoesToZeroAndEnds)
{
    Events e;
    auto v = makeView(e);
    v->SetReverse(true);
    v->SetManual(true);
    v->Execute();
    v->SetProgress(3);
    v->SetManual(false);
    EXPECT_EQ(e.progress, (std::vector<int>{3, 0}));
    EXPECT_EQ(e.completes, 1);
}

TEST(TransitionView, Style0WithoutHandlerEndsAfterItsFirstStepShowingTheNewPicture)
{
    Events e;
    auto v = makeView(e);
    v->SetStyle(0);
    v->Execute();
    EXPECT_EQ(e.progress, std::vector<int>{100});
    EXPECT_EQ(e.completes, 1);
    EXPECT_TRUE(uniform(in(*v).DisplayBitmap(), in(*v).DisplayBitmap().bounds(), NewColor));
}

TEST(TransitionView, ReverseStyle0WithoutHandlerRunsUntilStopped)
{
    Events e;
    auto v = makeView(e);
    v->SetStyle(0);
    v->SetReverse(true);
    v->OnProgress = [&](View& s) {
        e.progress.push_back(s.Progress());
        if (e.progress.size() == 5)
            s.Stop();
    };
    v->Execute();
    EXPECT_EQ(e.progress, std::vector<int>(5, 100));
    EXPECT_EQ(e.completes, 0);
}

TEST(TransitionView, StylesBeyondTheLastShowOnlyTheOldPicture)
{
    Events e;
    auto v = makeView(e);
    v->SetStyle(118);
    v->Execute();
    EXPECT_EQ(e.completes, 1);
    EXPECT_TRUE(uniform(in(*v).DisplayBitmap(), in(*v).DisplayBitmap().bounds(), 0x000000));
}

TEST(TransitionView, SecondTransitionStartsWithFrameZeroFromTheScreenSnapshot)
{
    Events e;
    auto v = makeView(e);
    v->SetStyle(0);
    v->show();
    ASSERT_TRUE(spinUntil([&] { return v->windowHandle() && v->windowHandle()->isExposed(); }));
    v->Execute(); // shows the first picture
    v->repaint();
    ASSERT_EQ(in(*v).PaintBuffer().width(), 20);
    fill(v->Picture(), 20, 10, OldColor);
    v->SetStyle(200);
    bool frameZeroShowsTheOldScreen = false;
    v->OnProgress = [&](View& s) {
        if (s.Progress() == 0)
            frameZeroShowsTheOldScreen = uniform(in(s).DisplayBitmap(), in(s).DisplayBitmap().bounds(), NewColor);
        e.progress.push_back(s.Progress());
    };
    e.progress.clear();
    v->Execute();
    ASSERT_EQ(e.progress.size(), 26u);
    EXPECT_EQ(e.progress.front(), 0);
    EXPECT_TRUE(frameZeroShowsTheOldScreen);
}

TEST(TransitionView, EachStepWaitsLongerThanTheDelay)
{
    Events e;
    auto v = makeView(e);
    v->SetDelay(40);
    const std::int64_t start = nowMs();
    v->Execute();
    EXPECT_GE(nowMs() - start, 960); // 24 waits of more than 40 ms
    EXPECT_EQ(e.completes, 1);
}

TEST(TransitionView, EventsAreProcessedEveryStepEvenWithoutDelay)
{
    Events e;
    auto v = makeView(e);
    v->SetDelay(0);
    int ranAt = -1;
    QTimer::singleShot(0, [&] { ranAt = v->Progress(); });
    v->Execute();
    EXPECT_EQ(ranAt, 4);
}

TEST(TransitionView, NothingWaitsAfterTheLastFrame)
{
    Events e;
    auto v = makeView(e);
    v->SetStep(100);
    v->SetDelay(60000);
    const std::int64_t start = nowMs();
    v->Execute();
    EXPECT_LT(nowMs() - start, 30000); // a wait would take the whole minute
}

TEST(TransitionView, AHandlerMayDestroyTheControlInsideItsLoop)
{
    for (bool customDraw : {false, true}) {
        Events e;
        auto v = makeView(e);
        View* raw = v.get();
        auto destroy = [&](View& s) {
            if (s.Progress() == 40)
                v.reset();
        };
        if (customDraw) {
            v->SetStyle(0);
            v->OnCustomDraw = [&](View& s, FrameCanvas&, FrameCanvas&) { destroy(s); };
        } else {
            v->OnProgress = destroy;
        }
        raw->Execute(); // returns without touching the destroyed control
        EXPECT_FALSE(v);
    }
}

TEST(TransitionView, AnOuterLoopDoesNotDriveANewerTransition)
{
    Events e;
    auto v = makeView(e);
    int restarts = 0;
    v->OnProgress = [&](View& s) {
        e.progress.push_back(s.Progress());
        if (s.Progress() == 40 && restarts++ == 0) {
            s.Stop();
            s.SetStep(50);
            s.Execute(); // runs nested: 0, 50, 100
        }
    };
    v->Execute();
    EXPECT_EQ(e.progress, (std::vector<int>{4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 0, 50, 100}));
    EXPECT_EQ(e.completes, 1);
}

TEST(TransitionView, AFailureEndsTheTransitionAndReachesTheCaller)
{
    Events e;
    auto v = makeView(e);
    v->OnProgress = [](View& s) {
        if (s.Progress() == 8)
            throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(v->Execute(), std::runtime_error);
    EXPECT_FALSE(v->Busy() || in(*v).HasOldBitmap() || in(*v).HasNewBitmap());

    v->SetManual(true);
    v->Execute();
    v->SetProgress(4);
    EXPECT_THROW(v->SetManual(false), std::runtime_error);
    EXPECT_FALSE(v->Busy() || in(*v).HasOldBitmap() || in(*v).HasNewBitmap());
    EXPECT_EQ(e.completes, 0);
}

// ---------------------------------------------------------------- threaded transitions

TEST(TransitionViewThreaded, ExecuteReturnsAtOnceAndEventsArriveOnTheMainThread)
{
    Events e;
    auto v = makeView(e, true);
    bool offMainThread = false;
    v->OnProgress = [&](View& s) {
        offMainThread |= QThread::currentThread() != qApp->thread();
        e.progress.push_back(s.Progress());
    };
    v->Execute();
    EXPECT_TRUE(v->Busy());
    EXPECT_TRUE(e.progress.empty());
    ASSERT_TRUE(spinUntil([&] { return !v->Busy(); }));
    EXPECT_EQ(e.progress, range(4, 100, 4));
    EXPECT_EQ(e.completes, 1);
    EXPECT_FALSE(offMainThread);
    EXPECT_TRUE(workersGone());
}

TEST(TransitionViewThreaded, StopFromAStepHandlerEndsAtOnceWithoutComplete)
{
    for (bool customDraw : {false, true}) {
        Events e;
        auto v = makeView(e, true);
        auto stopAt40 = [&](View& s) {
            if (s.Progress() == 40)
                s.Stop();
        };
        if (customDraw) {
            v->SetStyle(0);
            v->OnCustomDraw = [&](View& s, FrameCanvas&, FrameCanvas&) { stopAt40(s); };
        }
        v->OnProgress = [&](View& s) {
            e.progress.push_back(s.Progress());
            stopAt40(s);
        };
        v->Execute();
        ASSERT_TRUE(spinUntil([&] { return !v->Busy(); }));
        EXPECT_TRUE(workersGone());
        EXPECT_EQ(e.completes, 0);
        EXPECT_EQ(e.progress.back(), customDraw ? 36 : 40);
    }
}

TEST(TransitionViewThreaded, AStepHandlerMayDestroyTheControl)
{
    Events e;
    auto v = makeView(e, true);
    v->OnProgress = [&](View& s) {
        if (s.Progress() == 40)
            v.reset();
    };
    v->Execute();
    ASSERT_TRUE(spinUntil([&] { return !v; }));
    EXPECT_TRUE(workersGone());
}

TEST(TransitionViewThreaded, DestroyingTheControlMidTransitionJoinsTheWorker)
{
    Events e;
    auto v = makeView(e, true);
    v->Execute();
    ASSERT_TRUE(spinUntil([&] { return e.progress.size() >= 3; }));
    v.reset();
    EXPECT_EQ(TAnimateThread::liveCount(), 0);
    EXPECT_EQ(e.completes, 0);
}

TEST(TransitionViewThreaded, StopWakesAWorkerSleepingALongDelay)
{
    Events e;
    auto v = makeView(e, true);
    v->SetDelay(65535);
    v->Execute();
    ASSERT_TRUE(spinUntil([&] { return !e.progress.empty(); }));
    const std::int64_t start = nowMs();
    v->Stop();
    EXPECT_LT(nowMs() - start, 30000); // the sleep would last over a minute
    EXPECT_FALSE(v->Busy());
    EXPECT_EQ(TAnimateThread::liveCount(), 0);
    EXPECT_EQ(e.completes, 0);
}

TEST(TransitionViewThreaded, ClearingManualWhileTheOldWorkerEndsLeavesOneTransition)
{
    Events e;
    auto v = makeView(e, true);
    v->OnProgress = [&](View& s) {
        e.progress.push_back(s.Progress());
        if (s.Progress() == 40) {
            s.SetManual(true);
            s.SetManual(false); // a new worker starts before the old one has ended
        }
    };
    v->Execute();
    ASSERT_TRUE(spinUntil([&] { return !v->Busy(); }));
    EXPECT_TRUE(workersGone());
    EXPECT_EQ(e.progress, range(4, 100, 4));
    EXPECT_EQ(e.completes, 1);
}

TEST(TransitionViewThreaded, AFailingStepEndsTheTransitionAsIfItHadReachedItsEnd)
{
    Events e;
    auto v = makeView(e, true);
    v->OnProgress = [&](View& s) {
        e.progress.push_back(s.Progress());
        if (s.Progress() == 12)
            throw std::runtime_error("handler failed");
    };
    v->Execute();
    ASSERT_TRUE(spinUntil([&] { return !v->Busy(); }));
    EXPECT_EQ(e.progress.back(), 12);
    EXPECT_EQ(e.completes, 1);
    EXPECT_TRUE(workersGone());
}

// ---------------------------------------------------------------- painting and geometry

struct Fit {
    int pw, ph, cw, ch;
    Rect drawn;
};
class StretchFine : public ::testing::TestWithParam<Fit> {};
TEST_P(StretchFine, FitsThePictureInTheClientAreaKeepingItsAspect)
{
    const Fit f = GetParam();
    Events e;
    auto v = makeView(e);
    v->SetAutoSize(false);
    v->resize(f.cw, f.ch);
    v->SetStretch(true);
    v->SetStretchFine(true);
    v->SetColor(OldColor);
    v->SetStyle(0);
    fill(v->Picture(), f.pw, f.ph, NewColor);
    v->Execute();
    in(*v).Paint();
    const Bitmap& pb = in(*v).PaintBuffer();
    EXPECT_TRUE(uniform(pb, f.drawn, NewColor));
    int outside = 0;
    for (int y = 0; y < f.ch; ++y)
        for (int x = 0; x < f.cw; ++x)
            outside += !f.drawn.contains(x, y) && pb.pixel(x, y) == NewColor;
    EXPECT_EQ(outside, 0);
}
INSTANTIATE_TEST_SUITE_P(Examples, StretchFine,
                         ::testing::Values(Fit{400, 100, 200, 200, Rect{0, 75, 200, 125}},
                                           Fit{100, 100, 300, 200, Rect{50, 0, 250, 200}}),
                         [](const auto& info) {
                             const Fit& f = info.param;
                             return "Picture" + std::to_string(f.pw) + "x" + std::to_string(f.ph) + "InClient"
                                    + std::to_string(f.cw) + "x" + std::to_string(f.ch);
                         });

TEST(TransitionViewGeometry, InvalidationFollowsTheStretchAndTheCentring)
{
    Events e;
    auto v = makeView(e);
    v->SetAutoSize(false);
    v->resize(400, 300);
    v->SetStretch(true);
    fill(v->Picture(), 200, 100, NewColor);
    v->SetStyle(0);
    v->Execute();
    EXPECT_EQ(in(*v).AreaToClient(Rect{0, 0, 100, 50}), (Rect{0, 0, 200, 150}));

    // Unstretched and centred, a picture larger than the client area is cut on both sides.
    v->resize(100, 60);
    v->SetStretch(false);
    v->SetCenter(true);
    EXPECT_EQ(in(*v).PicRect(), (Rect{-50, -20, 150, 80}));
    EXPECT_EQ(in(*v).AreaToClient(Rect{0, 0, 60, 30}), (Rect{-50, -20, 10, 10}));
    EXPECT_EQ(in(*v).AreaToClient(Rect{100, 50, 250, 150}), (Rect{50, 30, 150, 80}));
}

TEST(TransitionViewGeometry, DeviceRectanglesRoundOutwardToLogicalPixels)
{
    EXPECT_EQ(TTransitionViewPrivate::toLogical(Rect{3, 3, 7, 8}, 2.0, false), QRect(1, 1, 3, 3));
    EXPECT_EQ(TTransitionViewPrivate::toLogical(Rect{3, 3, 7, 8}, 2.0, true), QRect(0, 0, 5, 5));
    EXPECT_EQ(TTransitionViewPrivate::toLogical(Rect{0, 0, 150, 300}, 1.5, false), QRect(0, 0, 100, 200));
}

TEST(TransitionViewGeometry, BackgroundsTileAndCentre)
{
    View v;
    v.SetAutoSize(false);
    v.resize(100, 60);
    Bitmap tile(30, 30);
    tile.fillRect(tile.bounds(), 0x101010);
    tile.setPixel(5, 25, 0x202020);
    setGraphic(v.BgPicture(), tile.clone());
    in(v).Paint();
    EXPECT_EQ(in(v).PaintBuffer().pixel(95, 55), 0x202020u); // fourth column, second row
    EXPECT_EQ(in(v).PaintBuffer().pixel(5, 25), 0x202020u);

    // A centred background larger than the client area: 151 x 121 lands at (-25, -30).
    Bitmap big(151, 121);
    big.fillRect(big.bounds(), 0x303030);
    big.setPixel(25, 30, 0x404040);
    setGraphic(v.BgPicture(), std::move(big));
    v.SetBgMode(View::TBackgroundMode::bmCentered);
    in(v).Paint();
    EXPECT_EQ(in(v).PaintBuffer().pixel(0, 0), 0x404040u);
    EXPECT_EQ(in(v).PaintBuffer().pixel(1, 0), 0x303030u);
}

} // namespace
} // namespace lmvo
