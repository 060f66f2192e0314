#include "show/PicturePreloader.h"

#include "base/Clock.h"
#include "decoder/DecoderClient.h"

#include <QMetaObject>

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <utility>

namespace lmvo {

namespace {

// A stamp read this long ago still speaks for the file at a tick; older, it is read again.
constexpr std::int64_t kStampFreshMs = 1000;
// How long closing waits for the worker to end. It ends at once unless the file system holds
// it (a stalled network folder): then it is left to end by itself.
constexpr auto kWorkerEndWait = std::chrono::milliseconds(200);

PictureLoader& installedLoader()
{
    static PictureLoader loader;
    return loader;
}

PictureLoader currentLoader()
{
    if (const PictureLoader& l = installedLoader())
        return l;
    return [](const std::string& path, const DisplaySize& size, std::stop_token stop) {
        return decodeFileAt(path, size, std::move(stop));
    };
}

std::int64_t nanoseconds(const timespec& t) { return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

} // namespace

void setPictureLoader(PictureLoader loader) { installedLoader() = std::move(loader); }

FileStamp FileStamp::of(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {true,          std::uint64_t(st.st_dev),     std::uint64_t(st.st_ino), std::int64_t(st.st_size),
            nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

// Everything the worker touches: it may outlive the preloader.
struct PicturePreloader::Shared {
    struct Job {
        std::uint64_t id = 0;
        PictureRequest request;
        std::stop_source stop;
    };
    struct StampCheck {
        std::uint64_t id = 0; // of the job whose result it checks
        std::string path;
    };

    explicit Shared(PictureLoader l) : loader(std::move(l)) {}

    void run();
    [[nodiscard]] PreparedPicture load(const Job& job) const;
    // Posts call(owner) to the owner's thread unless the owner has gone; Qt drops the call if
    // it goes before the call is delivered.
    template <typename Call>
    void post(Call call)
    {
        const std::lock_guard lock(mutex);
        if (owner)
            QMetaObject::invokeMethod(owner, [self = owner, call = std::move(call)] { call(self); }, Qt::QueuedConnection);
    }

    const PictureLoader loader;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Job> job;          // waiting for the worker
    std::optional<StampCheck> check; // waiting for the worker
    std::stop_source latestStop;     // of the latest job, waiting or under way
    PicturePreloader* owner = nullptr; // none once it has gone
    bool ended = false;              // the worker has ended
    std::condition_variable endedWake;
};

void PicturePreloader::Shared::run()
{
    for (;;) {
        std::optional<StampCheck> stampCheck;
        std::optional<Job> next;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return !owner || job || check; });
            if (!owner)
                break;
            stampCheck = std::exchange(check, std::nullopt);
            if (!stampCheck)
                next = std::exchange(job, std::nullopt);
        }
        if (stampCheck) {
            const FileStamp stamp = FileStamp::of(stampCheck->path);
            post([id = stampCheck->id, stamp](PicturePreloader* self) { self->stampArrived(id, stamp); });
            continue;
        }
        try {
            auto result = std::make_shared<PreparedPicture>(load(*next));
            if (next->stop.stop_requested())
                continue;
            post([id = next->id, result](PicturePreloader* self) { self->deliver(id, result); });
        } catch (const PictureCancelled&) {
            // Nobody wants this picture any more.
        } catch (...) {
            // Not even the record of a failure could be made (memory ran out). A tick waiting
            // for it keeps the event loop turning, so Escape still ends the show.
        }
    }
    const std::lock_guard lock(mutex);
    ended = true;
    endedWake.notify_all();
}

PreparedPicture PicturePreloader::Shared::load(const Job& job) const
{
    PreparedPicture out{job.request, std::nullopt, {}, FileStamp::of(job.request.path)};
    try {
        out.picture = loader(job.request.path, job.request.size, job.stop.get_token());
    } catch (const PictureCancelled&) {
        throw;
    } catch (const PictureError& e) {
        out.error = e;
    } catch (const std::bad_alloc&) {
        out.error = PictureError({}, PictureProblem::NoMemory).about(job.request.path);
    } catch (const std::exception& e) {
        out.error = PictureError(e.what(), PictureProblem::NotShown).about(job.request.path);
    }
    return out;
}

PicturePreloader::PicturePreloader(QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>(currentLoader()))
{
    shared_->owner = this;
    worker_ = std::thread([shared = shared_] { shared->run(); });
    startDecoderAhead();
}

PicturePreloader::~PicturePreloader()
{
    std::unique_lock lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->job.reset();
    shared_->check.reset();
    shared_->latestStop.request_stop();
    shared_->wake.notify_all();
    if (shared_->endedWake.wait_for(lock, kWorkerEndWait, [this] { return shared_->ended; })) {
        lock.unlock();
        worker_.join();
    } else {
        worker_.detach();
    }
}

void PicturePreloader::prepare(const PictureRequest& request)
{
    if (wanted_ == request)
        return;
    cancel();
    wanted_ = request;
    startJob(request);
}

void PicturePreloader::startJob(const PictureRequest& request)
{
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->job = Shared::Job{++lastJob_, request, std::stop_source{}};
        shared_->latestStop = shared_->job->stop;
    }
    shared_->wake.notify_one();
}

void PicturePreloader::cancel()
{
    wanted_.reset();
    held_.reset();
    fresh_.reset();
    stampAsked_ = 0;
    const std::lock_guard lock(shared_->mutex);
    shared_->job.reset();
    shared_->check.reset();
    shared_->latestStop.request_stop();
}

std::optional<PreparedPicture> PicturePreloader::take(const PictureRequest& request)
{
    if (!held_ || held_->request != request)
        return std::nullopt;
    if (!fresh_ || nowMs() - *fresh_ > kStampFreshMs) {
        if (stampAsked_ != lastJob_) {
            stampAsked_ = lastJob_;
            {
                const std::lock_guard lock(shared_->mutex);
                shared_->check = Shared::StampCheck{lastJob_, request.path};
            }
            shared_->wake.notify_one();
        }
        return std::nullopt;
    }
    std::optional<PreparedPicture> out = std::exchange(held_, std::nullopt);
    wanted_.reset();
    fresh_.reset();
    return out;
}

void PicturePreloader::deliver(std::uint64_t id, const std::shared_ptr<PreparedPicture>& result)
{
    if (id != lastJob_ || !wanted_ || held_)
        return;
    held_ = std::move(*result);
    emit prepared();
}

// The stamp take() asked for: an unchanged file makes the held result fresh; a changed one
// is prepared again.
void PicturePreloader::stampArrived(std::uint64_t id, const FileStamp& stamp)
{
    if (id != lastJob_ || id != stampAsked_ || !held_)
        return;
    stampAsked_ = 0;
    if (stamp != held_->stamp) {
        held_.reset();
        fresh_.reset();
        startJob(*wanted_);
        return;
    }
    fresh_ = nowMs();
    emit prepared();
}

} // namespace lmvo
