#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>

namespace lmvo {

// The time a show's timer runs on, in milliseconds. The program's reads the steady clock and
// wakes through a QTimer; tests put in one that they advance by hand.
class ShowClock {
public:
    virtual ~ShowClock() = default;

    [[nodiscard]] virtual std::int64_t now() const = 0;
    // Calls `wake` once, from the event loop, when now() has reached `deadline`, in place of the
    // wake-up armed before.
    virtual void wakeAt(std::int64_t deadline, std::function<void()> wake) = 0;
    // Disarms the wake-up armed, if any.
    virtual void cancelWake() = 0;
};

// The program's clock: base/Clock.h's milliseconds, woken by a precise single-shot QTimer.
class SteadyClock final : public ShowClock {
public:
    SteadyClock();

    [[nodiscard]] std::int64_t now() const override;
    void wakeAt(std::int64_t deadline, std::function<void()> wake) override;
    void cancelWake() override;

private:
    QTimer timer_;
    std::function<void()> wake_;
};

} // namespace lmvo
