// The hand-over to the worker thread: starting a worker, serving the steps it hands to the main
// thread, and retiring and joining workers that no longer drive the transition.
#include "transition/TransitionViewPrivate.h"


#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace lmvo {

namespace {

QThread::Priority qtPriority(TTransitionView::TThreadPriority p)
{
    static constexpr std::array<QThread::Priority, 7> table{
        QThread::IdlePriority,   // tpIdle
        QThread::LowestPriority, // tpLowest
        QThread::LowPriority,    // tpLower
        QThread::NormalPriority, // tpNormal
        QThread::HighPriority,   // tpHigher
        QThread::HighestPriority, // tpHighest
        QThread::TimeCriticalPriority, // tpTimeCritical
    };
    return table[std::size_t(p)];
}

} // namespace

void TTransitionViewPrivate::startWorker()
{
    auto worker = std::make_unique<TAnimateThread>(
        [view = QPointer<TTransitionView>(&q)](WorkerChannel& channel, WorkerRequest request) -> StepReply {
            if (!view)
                return {};
            return of(*view).serveWorker(channel, request);
        });
    QObject::connect(worker.get(), &QThread::finished, &q, [this] { reapWorkers(); }, Qt::QueuedConnection);
    worker->start(qtPriority(threadPriority_));
    if (!worker->isRunning() && !worker->isFinished())
        throw std::runtime_error(
            QCoreApplication::translate("lmvo::TTransitionView", "The animation thread could not be started")
                .toStdString());
    thread_ = std::move(worker);
}

void TTransitionViewPrivate::retireWorker()
{
    thread_->channel()->raiseAbort();
    retired_.push_back(std::move(thread_));
}

bool TTransitionViewPrivate::isCurrent(const WorkerChannel* channel) const
{
    return thread_ && thread_->channel().get() == channel;
}

StepReply TTransitionViewPrivate::serveWorker(WorkerChannel& channel, WorkerRequest request)
{
    // A failure must not unwind through the event loop: it goes back to the worker, which
    // ends as if the transition had reached its end.
    try {
        if (request == WorkerRequest::Step)
            return DoStep(channel);
        AnimationComplete(&channel);
    } catch (...) {
        warnCurrentFailure("A transition step failed");
        StepReply reply;
        reply.error = std::current_exception();
        return reply;
    }
    return {};
}

StepReply TTransitionViewPrivate::DoStep(const WorkerChannel& channel)
{
    if (!isCurrent(&channel) || channel.aborted() || destroying_ || !busy_ || manual_ || stopping_)
        return {};
    QPointer<TTransitionView> self(&q);
    SetProgress(nextProgress());
    if (!self || !isCurrent(&channel) || !busy_ || manual_ || stopping_ || endReached())
        return {};
    StepReply reply;
    reply.goOn = true;
    reply.delay = delay_;
    return reply;
}

void TTransitionViewPrivate::reapWorkers()
{
    for (auto it = retired_.begin(); it != retired_.end();) {
        if ((*it)->channel()->finished())
            it = retired_.erase(it); // joins: the body has returned or is returning
        else
            ++it;
    }
}

void TTransitionViewPrivate::joinRetired(const WorkerChannel* channel)
{
    const auto it = std::find_if(retired_.begin(), retired_.end(),
                                 [channel](const auto& w) { return w->channel().get() == channel; });
    if (it != retired_.end())
        retired_.erase(it);
}

void TTransitionViewPrivate::endAllWorkers()
{
    if (thread_)
        retireWorker();
    for (auto& w : retired_)
        w->channel()->raiseAbort();
    while (!retired_.empty()) {
        std::unique_ptr<TAnimateThread> worker = std::move(retired_.back());
        retired_.pop_back();
        const auto channel = worker->channel();
        if (channel->inService()) {
            // A handler of this worker's own step destroys the control, and the worker waits
            // for that step: it cannot be waited for here. It ends by itself once the step
            // unwinds, and is joined and freed then. Connect before the worker can finish.
            TAnimateThread* raw = worker.release();
            QObject::connect(raw, &QThread::finished, raw, &QObject::deleteLater);
            channel->orphan();
        } else {
            channel->serveUntilFinished();
            worker.reset(); // joins
        }
    }
}

} // namespace lmvo
