#pragma once

// Shared by the source files of TTransitionView only; no other code includes this.

#include "transition/TransitionView.h"

#include <QPointer>
#include <QtDebug>

#include <exception>

namespace lmvo {

// Reports a failure that has nowhere else to go: it must not unwind through Qt.
inline void warnCurrentFailure(const char* what) noexcept
{
    try {
        throw;
    } catch (const std::exception& e) {
        qWarning("%s: %s", what, e.what());
    } catch (...) {
        qWarning("%s", what);
    }
}

// Ends the transition that a failing Execute or SetManual started, and only that one: a
// newer transition started by a nested handler is left alone.
class TransitionGuard {
public:
    explicit TransitionGuard(TTransitionView& view)
        : view_(&view), generation_(view.generation_), exceptions_(std::uncaught_exceptions())
    {
    }
    ~TransitionGuard()
    {
        if (std::uncaught_exceptions() > exceptions_ && view_ && view_->generation_ == generation_)
            view_->abandonTransition();
    }
    TransitionGuard(const TransitionGuard&) = delete;
    TransitionGuard& operator=(const TransitionGuard&) = delete;

    [[nodiscard]] std::uint64_t generation() const { return generation_; }

private:
    QPointer<TTransitionView> view_;
    std::uint64_t generation_;
    int exceptions_;
};

} // namespace lmvo
