// The show's decisions without a window and without real time: a clock the test advances, a
// source whose work the test has done, and a view that writes down what a user would see.
#include "scan/SharedState.h"
#include "show/ShowController.h"
#include "tests/ParamName.h"
#include "tests/show/FakeClock.h"

#include <lumivo/Random.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace lmvo {
namespace {

constexpr int Interval = 1000;

// Pictures in one colour, their index, at the size asked; broken ones fail. The work asked for
// is done when the test says, as a worker would do it. With `checks`, take() hands a picture
// over only after a check of its file that it first asks for, as the program's preloader does.
class FakeSource final : public PictureSource {
public:
    void prepare(const PictureRequest& request) override
    {
        if (wanted_ == request)
            return;
        wanted_ = request;
        held_.reset();
        loading_ = true;
        checkAsked_ = checked_ = false;
    }
    [[nodiscard]] const std::optional<PictureRequest>& wanted() const override { return wanted_; }
    [[nodiscard]] const PreparedPicture* ready() const override { return held_ ? &*held_ : nullptr; }
    [[nodiscard]] std::optional<PreparedPicture> take(const PictureRequest& request) override
    {
        if (!held_ || held_->request != request)
            return std::nullopt;
        if (checks && !checked_) {
            checkAsked_ = true;
            return std::nullopt;
        }
        wanted_.reset();
        return std::exchange(held_, std::nullopt);
    }
    // Does the load or the check asked for; false when none was.
    bool work()
    {
        if (std::exchange(loading_, false)) {
            const PictureRequest& r = *wanted_;
            held_ = PreparedPicture{r, std::nullopt, std::nullopt, {}};
            if (broken.count(r.index))
                held_->error = PictureError("not a picture").about(r.path);
            else
                held_->picture.emplace(r.size.width, r.size.height)
                    .fillRect(rectOfSize(r.size.width, r.size.height), Color(r.index));
            return true;
        }
        if (!std::exchange(checkAsked_, false))
            return false;
        checked_ = true;
        return true;
    }

    std::set<std::size_t> broken;
    bool checks = false;

private:
    std::optional<PictureRequest> wanted_;
    std::optional<PreparedPicture> held_;
    bool loading_ = false, checkAsked_ = false, checked_ = false;
};

// Writes down, space-separated, the index of every picture brought in, "!file" for a report,
// "stop" for a transition stopped and "end" when the show asks its window to close.
class RecordingView final : public ShowView {
public:
    [[nodiscard]] DisplaySize pictureSize() const override { return size; }
    void present(Bitmap&& picture, int style) override
    {
        EXPECT_TRUE(held) << "a box would stop the picture half-way in";
        EXPECT_TRUE(style >= 1 && style <= 117) << style;
        EXPECT_TRUE(picture.width() == size.width && picture.height() == size.height) << "not its tick's size";
        shown.push_back(int(picture.pixel(0, 0)));
        note(std::to_string(shown.back()));
        busy = true;
        if (midway)
            midway(int(shown.size()));
        busy = busy && !inLine;
        if (afterwards)
            afterwards(int(shown.size()));
    }
    [[nodiscard]] bool transitionBusy() const override { return busy; }
    void stopTransition() override
    {
        if (std::exchange(busy, false))
            note("stop");
    }
    void report(const PictureError& error) override { note("!" + error.file()); }
    void holdReports(bool on) override { EXPECT_NE(std::exchange(held, on), on); }
    void closeShow() override { note("end"); }

    DisplaySize size{16, 9};
    bool inLine = true; // present() returns when the transition has ended
    bool busy = false, held = false;
    std::function<void(int shown)> midway, afterwards; // during and after the n-th transition
    std::vector<int> shown;
    std::string log;

private:
    void note(const std::string& what) { log += (log.empty() ? "" : " ") + what; }
};

// The show with its fakes, open to the cases' scripts.
class ShowControllerTest : public ::testing::Test {
public:
    void TearDown() override
    {
        PictureFiles.clear();
        PictureIndex = LoopPlay = 0;
        ShufflePlay = false;
    }
    void start(int count, bool loop)
    {
        for (int i = 0; i < count; ++i)
            PictureFiles.push_back("p" + std::to_string(i));
        LoopPlay = loop ? 1 : 0;
        show.emplace(view, source, clock, random, 117);
        show->timer().setInterval(Interval);
        show->start();
        settle();
    }
    void settle()
    {
        while (source.work())
            show->pictureArrived();
    }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i) {
            clock.advance(Interval);
            settle();
        }
    }

    test::FakeClock clock;
    FakeSource source;
    RecordingView view;
    Random random{7};
    std::optional<ShowController> show;
};

struct SequenceCase {
    const char* name;
    int count;
    std::set<std::size_t> broken;
    bool loop;
    int exitAfter;  // pictures shown; 0: the show ends by itself
    int pauseAfter; // pictures shown after which the show is paused and goes on; 0: never
    const char* log;
    int indexAfter; // PictureIndex when the show has ended
};

const SequenceCase Sequences[] = {
    {"without looping the first picture ends it", 3, {}, false, 0, 0, "0 1 2 0 end", 1},
    {"looping", 3, {}, true, 5, 0, "0 1 2 0 1 end", 2},
    {"one picture looping", 1, {}, true, 3, 0, "0 0 0 end", 1},
    {"pause and continue keep the order", 4, {}, false, 0, 1, "0 1 2 3 0 end", 1},
    {"a broken picture is reported once and passed over", 3, {1}, true, 4, 0, "0 !p1 2 0 2 end", 3},
    {"a broken run without looping", 4, {1, 2}, false, 0, 0, "0 !p1 !p2 3 0 end", 1},
    {"a broken first picture", 3, {0}, false, 0, 0, "!p0 1 2 1 end", 2},
    {"only broken pictures end the show", 2, {0, 1}, true, 0, 0, "!p0 !p1 end", 2},
    {"no pictures", 0, {}, true, 0, 0, "", 0},
};

// Every row twice: with each picture ready at its tick, and with each tick waiting for it.
class ShowSequenceTest : public ShowControllerTest,
                         public ::testing::WithParamInterface<std::tuple<SequenceCase, bool>> {};

TEST_P(ShowSequenceTest, EveryPictureInTurnBrokenOnesReportedOnce)
{
    const auto& [c, waits] = GetParam();
    source.broken = c.broken;
    source.checks = waits;
    view.afterwards = [&](int n) {
        if (n == c.pauseAfter) {
            show->pause();
            EXPECT_FALSE(show->timer().enabled());
            show->resume();
        }
        if (n == c.exitAfter)
            show->exit();
    };
    start(c.count, c.loop);
    clock.advance(Interval - 1);
    EXPECT_EQ(view.log, "") << "the first picture comes one interval after the start";
    ticks(12);
    EXPECT_EQ(view.log, c.log);
    EXPECT_EQ(PictureIndex, c.indexAfter);
    EXPECT_FALSE(show->timer().enabled() || view.held);
    EXPECT_EQ(show->unforeseenPictures(), 0) << "the look-ahead did not follow the show";
}

INSTANTIATE_TEST_SUITE_P(Shows, ShowSequenceTest, ::testing::Combine(::testing::ValuesIn(Sequences), ::testing::Bool()),
                         [](const auto& info) {
                             return test::testName(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_waiting" : "_ready");
                         });

TEST_F(ShowControllerTest, TheLookAheadFollowsShuffledPasses)
{
    ShufflePlay = true;
    start(5, true);
    ticks(15);
    EXPECT_EQ(view.shown.size(), 15u);
    EXPECT_EQ(show->unforeseenPictures(), 0);
}

// An event at a moment of the first tick, and what three intervals bring after it.
enum class Moment { Midway, Waiting, Later }; // its transition; its wait for the picture; after
struct EventCase {
    const char* name;
    Moment moment;
    std::function<void(ShowControllerTest&)> event;
    const char* log;
    int indexAfter;
    bool inLine = true;
};

const auto pause = [](ShowControllerTest& t) { t.show->pause(); };
const auto exit = [](ShowControllerTest& t) { t.show->exit(); };
const auto tick = [](ShowControllerTest& t) { t.show->tick(); };

const EventCase EventCases[] = {
    {"a pause during its transition holds", Moment::Midway, pause, "0 stop", 1},
    {"an exit during its transition starts nothing more", Moment::Midway, exit, "0 stop end", 1},
    {"a tick during its in-line transition is lost", Moment::Midway, tick, "0 1 2", 3},
    {"a tick stops a transition still playing and goes on", Moment::Later, tick, "0 stop 1", 2, false},
    {"an exit while it waits ends the show", Moment::Waiting, exit, "end", 0},
    {"a pause while it waits keeps its picture for when the show goes on", Moment::Waiting,
     [](ShowControllerTest& t) {
         t.show->pause();
         t.settle();
         t.show->resume();
     },
     "0 1 2", 3},
    {"a new size while it waits asks for its picture at that size", Moment::Waiting,
     [](ShowControllerTest& t) {
         t.view.size = {32, 18};
         t.show->sizeChanged();
     },
     "0 1 2", 3},
};

class ShowEventTest : public ShowControllerTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(ShowEventTest, AtItsMomentOfTheFirstTick)
{
    const EventCase& c = GetParam();
    view.inLine = c.inLine;
    source.checks = c.moment == Moment::Waiting;
    view.midway = [&](int n) {
        if (n == 1 && c.moment == Moment::Midway)
            c.event(*this);
    };
    start(3, false);
    if (c.moment == Moment::Waiting) {
        clock.advance(Interval);
        EXPECT_TRUE(show->waiting() && view.held);
        c.event(*this);
    }
    ticks(3); // a tick that waits loses the timer's ticks meanwhile
    if (c.moment == Moment::Later)
        c.event(*this);
    EXPECT_EQ(view.log, c.log);
    EXPECT_EQ(PictureIndex, c.indexAfter);
    EXPECT_FALSE(view.held);
}

INSTANTIATE_TEST_SUITE_P(Events, ShowEventTest, ::testing::ValuesIn(EventCases),
                         [](const auto& info) { return test::testName(info.param.name); });

} // namespace
} // namespace lmvo
