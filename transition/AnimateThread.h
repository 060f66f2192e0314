#pragma once

#include <QThread>

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace lmvo {

// What the worker asks the main thread to run.
enum class WorkerRequest : std::uint8_t { None, Step, Complete };

// The main thread's answer to a step: whether the worker goes on, and how long a step lasts.
struct StepReply {
    bool goOn = false;
    std::uint16_t delay = 0;
    std::exception_ptr error;
};

// The meeting point of a worker and the main thread. The worker posts one request at a time
// and waits until the main thread has served it; the main thread serves it either from its
// event loop or, while it waits for the worker to end, directly from its wait. Shared by
// both sides so that neither outlives what the other still uses.
class WorkerChannel : public std::enable_shared_from_this<WorkerChannel> {
public:
    // Runs one request on the main thread; never throws.
    using Job = std::function<StepReply(WorkerChannel&, WorkerRequest)>;

    explicit WorkerChannel(Job job) : job_(std::move(job)) {}

    // --- worker side ---
    // Hands `request` to the main thread and waits until it has run (or the host is gone).
    StepReply handOver(WorkerRequest request);
    // Sleeps up to `ms` milliseconds; an abort cuts the sleep short.
    void sleepFor(std::int64_t ms);
    void markFinished();

    // --- either side ---
    void raiseAbort();
    [[nodiscard]] bool aborted() const;

    // --- main thread ---
    // Runs the pending request, if any; true when one ran.
    bool serveOne();
    // Runs what the worker hands over until its body has returned. Runs nothing else.
    void serveUntilFinished();
    // The control is gone: the worker hands nothing over any more.
    void orphan();
    [[nodiscard]] bool inService() const { return inService_; }
    [[nodiscard]] bool finished() const;

private:
    void post();

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    WorkerRequest pending_ = WorkerRequest::None;
    bool served_ = false;
    bool abort_ = false;
    bool hostGone_ = false;
    bool finished_ = false;
    StepReply reply_;

    Job job_;               // main thread only
    bool inService_ = false; // main thread only
};

// The worker of a threaded transition: keeps time and hands every step, then the end of the
// transition, to the main thread. It never touches the control itself.
class TAnimateThread : public QThread {
    Q_OBJECT
public:
    explicit TAnimateThread(WorkerChannel::Job job);
    ~TAnimateThread() override;

    [[nodiscard]] const std::shared_ptr<WorkerChannel>& channel() const { return channel_; }

    // Workers whose object still exists (for tests: every worker is joined and freed).
    [[nodiscard]] static int liveCount();

protected:
    void run() override;

private:
    std::shared_ptr<WorkerChannel> channel_;
};

} // namespace lmvo
