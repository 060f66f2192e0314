#include "show/PicturePreloader.h"

#include <QMetaObject>

#include <sys/stat.h>

#include <utility>

namespace lmvo {

namespace {

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
        return loadPictureAt(path, size, std::move(stop));
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

PicturePreloader::PicturePreloader(QObject* parent)
    : QObject(parent), loader_(currentLoader()), worker_([this](std::stop_token stop) { run(std::move(stop)); })
{
}

PicturePreloader::~PicturePreloader()
{
    {
        const std::lock_guard lock(mutex_);
        job_.reset();
        latestStop_.request_stop();
    }
    worker_.request_stop();
    worker_.join();
}

void PicturePreloader::prepare(const PictureRequest& request)
{
    if (wanted_ == request)
        return;
    cancel();
    wanted_ = request;
    {
        const std::lock_guard lock(mutex_);
        job_ = Job{++lastJob_, request, std::stop_source{}};
        latestStop_ = job_->stop;
    }
    wake_.notify_one();
}

void PicturePreloader::cancel()
{
    wanted_.reset();
    held_.reset();
    const std::lock_guard lock(mutex_);
    job_.reset();
    latestStop_.request_stop();
}

std::optional<PreparedPicture> PicturePreloader::take(const PictureRequest& request)
{
    if (!held_ || held_->request != request)
        return std::nullopt;
    if (FileStamp::of(request.path) != held_->stamp) {
        cancel();
        return std::nullopt;
    }
    std::optional<PreparedPicture> out = std::exchange(held_, std::nullopt);
    wanted_.reset();
    return out;
}

void PicturePreloader::run(std::stop_token stop)
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [this] { return job_.has_value(); }))
                return;
            job = std::move(*job_);
            job_.reset();
        }
        try {
            auto result = std::make_shared<PreparedPicture>(load(job));
            if (job.stop.stop_requested())
                continue;
            QMetaObject::invokeMethod(
                this, [this, id = job.id, result] { deliver(id, result); }, Qt::QueuedConnection);
        } catch (const PictureCancelled&) {
            // Nobody wants this picture any more.
        } catch (...) {
            // Not even the record of a failure could be made (memory ran out). A tick waiting
            // for it keeps the event loop turning, so Escape still ends the show.
        }
    }
}

PreparedPicture PicturePreloader::load(const Job& job) const
{
    PreparedPicture out{job.request, std::nullopt, {}, FileStamp::of(job.request.path)};
    try {
        out.picture = loader_(job.request.path, job.request.size, job.stop.get_token());
    } catch (const PictureCancelled&) {
        throw;
    } catch (const std::exception& e) {
        out.error = QString::fromUtf8(e.what());
    }
    return out;
}

void PicturePreloader::deliver(std::uint64_t id, const std::shared_ptr<PreparedPicture>& result)
{
    if (id != lastJob_ || !wanted_ || held_)
        return;
    held_ = std::move(*result);
    emit prepared();
}

} // namespace lmvo
