// The show's change timer on a clock the test advances: enabling compares first, a new interval
// starts the count afresh, an interval of 0 keeps it stopped, and a tick that comes due while the
// one before is still handled is lost.
#include "show/IntervalTimer.h"
#include "tests/ParamName.h"
#include "tests/show/FakeClock.h"

#include <gtest/gtest.h>

#include <vector>

namespace lmvo {
namespace {

// Until 449 ms on the clock, from an interval of 100: enabled at 0 unless the case says.
struct TimerCase {
    const char* name;
    std::vector<std::pair<std::int64_t, std::function<void(IntervalTimer&)>>> steps; // at a time
    std::vector<std::int64_t> ticks;
    std::int64_t firstHandlerMs = 0; // how long the first tick's handler runs
};

const auto enable = [](IntervalTimer& t) { t.setEnabled(true); };

const TimerCase TimerCases[] = {
    {"ticks every interval", {}, {100, 200, 300, 400}},
    {"enabling it again keeps the count", {{50, enable}, {190, enable}}, {100, 200, 300, 400}},
    {"the same interval keeps the count", {{50, [](IntervalTimer& t) { t.setInterval(100); }}}, {100, 200, 300, 400}},
    {"a new interval starts the count afresh", {{50, [](IntervalTimer& t) { t.setInterval(150); }}}, {200, 350}},
    {"disabled it stops, enabled again it counts from then",
     {{150, [](IntervalTimer& t) { t.setEnabled(false); }}, {270, enable}}, {100, 370}},
    {"interval 0 keeps it stopped until it has one",
     {{0, [](IntervalTimer& t) { t.setInterval(0); }}, {250, [](IntervalTimer& t) { t.setInterval(100); }}}, {350}},
    {"ticks due while the handler runs are lost", {}, {100, 400}, 250},
};

class IntervalTimerTest : public ::testing::TestWithParam<TimerCase> {};

TEST_P(IntervalTimerTest, TicksAsTheShowsTimerShould)
{
    const TimerCase& c = GetParam();
    test::FakeClock clock;
    IntervalTimer timer(clock);
    timer.setInterval(100);
    timer.setEnabled(true);
    std::vector<std::int64_t> ticks;
    timer.onTick = [&] {
        ticks.push_back(clock.now());
        if (ticks.size() == 1)
            clock.advance(c.firstHandlerMs);
    };
    for (const auto& [at, step] : c.steps) {
        clock.advanceTo(at);
        step(timer);
    }
    clock.advanceTo(449);
    EXPECT_EQ(ticks, c.ticks);
}

INSTANTIATE_TEST_SUITE_P(Scripts, IntervalTimerTest, ::testing::ValuesIn(TimerCases),
                         [](const auto& info) { return test::testName(info.param.name); });

} // namespace
} // namespace lmvo
