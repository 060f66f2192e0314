#include "transition/AnimateThread.h"

#include "base/Clock.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>

namespace lmvo {

namespace {

std::atomic<int> liveWorkers{0};

} // namespace

// ---------------------------------------------------------------- WorkerChannel

StepReply WorkerChannel::handOver(WorkerRequest request)
{
    std::unique_lock lock(mutex_);
    if (hostGone_)
        return {};
    pending_ = request;
    served_ = false;
    cv_.notify_all(); // a main thread waiting in serveUntilFinished takes it from here
    lock.unlock();
    post();
    lock.lock();
    cv_.wait(lock, [this] { return served_ || hostGone_; });
    return served_ ? reply_ : StepReply{};
}

void WorkerChannel::post()
{
    // The application object lives as long as the main thread's event loop, unlike the
    // control, which a handler may destroy while this call is queued.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [self = shared_from_this()] { self->serveOne(); }, Qt::QueuedConnection);
}

void WorkerChannel::sleepFor(std::int64_t ms)
{
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return abort_; });
}

void WorkerChannel::markFinished()
{
    std::lock_guard lock(mutex_);
    finished_ = true;
    cv_.notify_all();
}

void WorkerChannel::raiseAbort()
{
    std::lock_guard lock(mutex_);
    abort_ = true;
    cv_.notify_all();
}

bool WorkerChannel::aborted() const
{
    std::lock_guard lock(mutex_);
    return abort_;
}

bool WorkerChannel::finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

void WorkerChannel::orphan()
{
    std::lock_guard lock(mutex_);
    hostGone_ = true;
    abort_ = true;
    cv_.notify_all();
}

bool WorkerChannel::serveOne()
{
    WorkerRequest request;
    {
        std::lock_guard lock(mutex_);
        if (pending_ == WorkerRequest::None)
            return false; // already served from a wait, or a stale queued call
        request = pending_;
        pending_ = WorkerRequest::None;
    }
    // The job never throws: failures come back inside the reply. Keep this object alive even
    // if the job destroys the control that held the last other reference.
    const auto keep = shared_from_this();
    inService_ = true;
    StepReply reply = job_(*this, request);
    inService_ = false;
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
    served_ = true;
    cv_.notify_all();
    return true;
}

void WorkerChannel::serveUntilFinished()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return pending_ != WorkerRequest::None || finished_; });
        if (pending_ != WorkerRequest::None) {
            lock.unlock();
            serveOne();
            lock.lock();
            continue;
        }
        return;
    }
}

// ---------------------------------------------------------------- TAnimateThread

TAnimateThread::TAnimateThread(WorkerChannel::Job job)
    : channel_(std::make_shared<WorkerChannel>(std::move(job)))
{
    ++liveWorkers;
}

TAnimateThread::~TAnimateThread()
{
    // Whoever frees a worker has made sure it ends; waiting here only joins it.
    channel_->raiseAbort();
    wait();
    --liveWorkers;
}

int TAnimateThread::liveCount() { return liveWorkers.load(); }

void TAnimateThread::run()
{
    // Each step begins Delay ms after the previous one began: the time the main thread spends
    // drawing counts toward the delay.
    while (!channel_->aborted()) {
        const std::int64_t t0 = nowMs();
        const StepReply reply = channel_->handOver(WorkerRequest::Step);
        if (!reply.goOn)
            break;
        const std::int64_t elapsed = nowMs() - t0;
        if (elapsed < reply.delay)
            channel_->sleepFor(reply.delay - elapsed);
    }
    // The end handler is the last thing handed over, so nothing of this worker can reach the
    // control after Stop or the destructor has returned.
    channel_->handOver(WorkerRequest::Complete);
    channel_->markFinished();
}

} // namespace lmvo
