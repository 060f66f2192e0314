#pragma once

#include "picture/DisplaySize.h"
#include "picture/PictureError.h"
#include "raster/Bitmap.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace lmvo {

// What tells a file's content apart without reading it: a file removed, replaced, rewritten or
// made unreadable after it was read no longer matches what was recorded then.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;  // nanoseconds; a change of permissions moves it
    bool operator==(const FileStamp&) const = default;

    [[nodiscard]] static FileStamp of(const std::string& path);
};

// One picture of a show, loaded at the size it is shown.
struct PictureRequest {
    std::size_t index = 0; // in the show's list
    std::string path;      // native bytes
    DisplaySize size;
    bool operator==(const PictureRequest&) const = default;
};

// A prepared picture, or why it could not be had.
struct PreparedPicture {
    PictureRequest request;
    std::optional<Bitmap> picture;      // none when the load failed
    std::optional<PictureError> error; // why, naming the file; none when it loaded
    FileStamp stamp; // of the file as it was before it was read
};

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
class PicturePreloader : public QObject {
    Q_OBJECT
public:
    explicit PicturePreloader(QObject* parent = nullptr);
    ~PicturePreloader() override;

    // Starts preparing `request` in place of whatever was pending or held; nothing happens when
    // it is pending or held already.
    void prepare(const PictureRequest& request);
    // Drops the held picture and cancels the pending load.
    void cancel();

    // The request pending or held, if any.
    [[nodiscard]] const std::optional<PictureRequest>& wanted() const { return wanted_; }
    // The result held, if the load has ended.
    [[nodiscard]] const PreparedPicture* ready() const { return held_ ? &*held_ : nullptr; }
    // Hands over the result for `request` if it has come and its file is as it was when it was
    // read. The file's stamp is read anew by the worker: the first call asks for it and returns
    // nothing, and prepared() tells when it has come; a file changed since is dropped with its
    // result and prepared again.
    [[nodiscard]] std::optional<PreparedPicture> take(const PictureRequest& request);

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
