#pragma once

#include "show/ShowClock.h"

#include <algorithm>
#include <utility>

namespace lmvo::test {

// A clock that moves only when the test advances it; a wake-up runs inside advanceTo() at its
// deadline, and may advance the clock again (a handler turning the event loop).
class FakeClock final : public ShowClock {
public:
    [[nodiscard]] std::int64_t now() const override { return now_; }
    void wakeAt(std::int64_t deadline, std::function<void()> wake) override
    {
        deadline_ = deadline;
        wake_ = std::move(wake);
    }
    void cancelWake() override { wake_ = nullptr; }
    void advanceTo(std::int64_t time)
    {
        while (wake_ && deadline_ <= time) {
            now_ = std::max(now_, deadline_);
            std::exchange(wake_, nullptr)();
        }
        now_ = std::max(now_, time);
    }
    void advance(std::int64_t ms) { advanceTo(now_ + ms); }

private:
    std::int64_t now_ = 0, deadline_ = 0;
    std::function<void()> wake_;
};

} // namespace lmvo::test
