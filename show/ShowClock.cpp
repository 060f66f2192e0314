#include "show/ShowClock.h"

#include "base/Clock.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace lmvo {

SteadyClock::SteadyClock()
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
        // The wake-up may arm the next one.
        if (std::function<void()> wake = std::exchange(wake_, nullptr))
            wake();
    });
}

std::int64_t SteadyClock::now() const { return nowMs(); }

void SteadyClock::wakeAt(std::int64_t deadline, std::function<void()> wake)
{
    wake_ = std::move(wake);
    timer_.start(int(std::clamp<std::int64_t>(deadline - nowMs(), 0, INT_MAX)));
}

void SteadyClock::cancelWake()
{
    timer_.stop();
    wake_ = nullptr;
}

} // namespace lmvo
