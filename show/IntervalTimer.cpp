#include "show/IntervalTimer.h"

#include "show/ShowClock.h"

namespace lmvo {

IntervalTimer::IntervalTimer(ShowClock& clock) : clock_(clock) {}

IntervalTimer::~IntervalTimer() { stop(); }

void IntervalTimer::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (enabled && interval_ > 0)
        start();
    else
        stop();
}

void IntervalTimer::setInterval(int milliseconds)
{
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    if (enabled_ && milliseconds > 0)
        start();
    else
        stop();
}

void IntervalTimer::start()
{
    running_ = true;
    due_ = clock_.now() + interval_;
    arm();
}

void IntervalTimer::stop()
{
    running_ = false;
    clock_.cancelWake();
}

void IntervalTimer::arm()
{
    clock_.wakeAt(due_, [this] { due(); });
}

// The next tick is counted from the time this one was due, or from now when the handler before
// kept it past that.
void IntervalTimer::due()
{
    if (!running_)
        return;
    const std::int64_t now = clock_.now();
    if (now < due_) {
        arm();
        return;
    }
    due_ += interval_;
    if (due_ <= now)
        due_ = now + interval_;
    arm();
    if (ticking_ || !onTick)
        return;
    const std::weak_ptr<char> alive = life_;
    ticking_ = true;
    struct Done {
        IntervalTimer* timer;
        const std::weak_ptr<char>& alive;
        ~Done()
        {
            if (!alive.expired())
                timer->ticking_ = false;
        }
    } done{this, alive};
    onTick();
}

} // namespace lmvo
