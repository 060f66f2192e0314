#pragma once

#include "show/PictureSource.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace lmvo {

// How a picture is loaded; tests put in their own.
using PictureLoader = std::function<Bitmap(const std::string& path, const DisplaySize& size, std::stop_token stop)>;
// The loader that preloaders made from now on use; none restores decodeFileAt (the decoder
// process).
void setPictureLoader(PictureLoader loader);

// Prepares one picture ahead of a show on a worker thread that it owns: decoded and resampled
// to the size it will be shown at, so that the tick only has to take it. At most one picture
// is pending or held; asking for another cancels the pending load and drops the held one.
//
// The worker never touches a widget: it runs the loader and hands the result to the main
// thread through a queued call. The main thread makes no file-system call on the pictures:
// the worker reads every file's stamp, also the one take() compares. Destroying the preloader
// cancels the load under way (the decoder process is killed) and joins the worker; a worker
// held in the file system (a stalled network folder) is left to end by itself, holding only
// what it shares with no one else.
class PicturePreloader : public QObject, public PictureSource {
    Q_OBJECT
public:
    explicit PicturePreloader(QObject* parent = nullptr);
    ~PicturePreloader() override;

    void prepare(const PictureRequest& request) override;
    // Drops the held picture and cancels the pending load.
    void cancel();

    [[nodiscard]] const std::optional<PictureRequest>& wanted() const override { return wanted_; }
    [[nodiscard]] const PreparedPicture* ready() const override { return held_ ? &*held_ : nullptr; }
    // Hands over the result for `request` if it has come and its file is as it was when it was
    // read. The file's stamp is read anew by the worker: the first call asks for it and returns
    // nothing, and prepared() tells when it has come; a file changed since is dropped with its
    // result and prepared again.
    [[nodiscard]] std::optional<PreparedPicture> take(const PictureRequest& request) override;

signals:
    // A result has come and is held, or the stamp take() asked for has come.
    void prepared();

private:
    struct Shared;

    void deliver(std::uint64_t id, const std::shared_ptr<PreparedPicture>& result);
    void stampArrived(std::uint64_t id, const FileStamp& stamp);
    void startJob(const PictureRequest& request);

    // Main thread only.
    std::optional<PictureRequest> wanted_;
    std::optional<PreparedPicture> held_;
    std::uint64_t lastJob_ = 0;
    std::uint64_t stampAsked_ = 0;     // the job whose stamp was last asked for, 0 for none
    std::optional<std::int64_t> fresh_; // when the held result's stamp was last found unchanged

    const std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

} // namespace lmvo
