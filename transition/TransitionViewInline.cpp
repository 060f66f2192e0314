// The in-line loop: a transition stepped on the main thread, which keeps the event queue
// serviced between steps.
#include "transition/TransitionViewPrivate.h"

#include "base/Clock.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace lmvo {

bool TTransitionViewPrivate::drives(std::uint64_t drive) const
{
    return drive == drive_ && busy_ && !manual_ && !stopping_;
}

void TTransitionViewPrivate::runInline()
{
    QPointer<TTransitionView> self(&q);
    const std::uint64_t drive = drive_;
    for (;;) {
        const std::int64_t stepStart = nowMs();
        SetProgress(nextProgress());
        if (!self || !drives(drive))
            return;
        if (endReached())
            break;
        if (!waitForNextStep(stepStart, drive))
            return;
    }
    AnimationComplete(nullptr);
}

// Waits inside the event loop until more than Delay ms have passed since the step began,
// processing events at least once. Instead of polling it sleeps until the next event or the
// deadline, so an idle transition costs next to no processor time. False when the loop must
// end: the control is gone or no longer driven by this loop.
bool TTransitionViewPrivate::waitForNextStep(std::int64_t stepStart, std::uint64_t drive)
{
    QPointer<TTransitionView> self(&q);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    bool pumped = false;
    for (;;) {
        const std::int64_t remaining = std::int64_t(delay_) + 1 - (nowMs() - stepStart);
        if (remaining <= 0 && pumped)
            return true;
        if (remaining <= 0) {
            QCoreApplication::processEvents();
        } else {
            deadline.start(int(remaining));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        pumped = true;
        if (!self || !drives(drive))
            return false;
    }
}

} // namespace lmvo
