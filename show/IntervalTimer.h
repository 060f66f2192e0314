#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace lmvo {

class ShowClock;

// The show's change timer: ticks every interval while it is enabled, on the clock it is given.
// Enabling an enabled timer changes nothing, so it keeps measuring from tick to tick; a new
// interval starts the count afresh; an interval of 0 or less keeps it stopped. A tick that comes
// due while the handler of the one before still runs (it may turn the event loop: a transition
// played in-line) is lost, not queued, and the count goes on from the time it was due.
class IntervalTimer {
public:
    explicit IntervalTimer(ShowClock& clock);
    ~IntervalTimer();
    IntervalTimer(const IntervalTimer&) = delete;
    IntervalTimer& operator=(const IntervalTimer&) = delete;

    [[nodiscard]] bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    [[nodiscard]] int interval() const { return interval_; }
    void setInterval(int milliseconds);

    // Called at every tick. It may destroy the timer.
    std::function<void()> onTick;

private:
    void start();
    void stop();
    void arm();
    void due();

    ShowClock& clock_;
    bool enabled_ = false;
    int interval_ = 0;
    bool running_ = false;
    std::int64_t due_ = 0;
    bool ticking_ = false;
    const std::shared_ptr<char> life_ = std::make_shared<char>();
};

} // namespace lmvo
