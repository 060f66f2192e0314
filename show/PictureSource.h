#pragma once

#include "picture/DisplaySize.h"
#include "picture/PictureError.h"
#include "raster/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

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

// Where a show gets its pictures: one prepared ahead of the tick that shows it, so that the tick
// only has to take it. PicturePreloader in the program; tests put in their own.
class PictureSource {
public:
    virtual ~PictureSource() = default;

    // Starts preparing `request` in place of whatever was pending or held; nothing happens when
    // it is pending or held already.
    virtual void prepare(const PictureRequest& request) = 0;
    // The request pending or held, if any.
    [[nodiscard]] virtual const std::optional<PictureRequest>& wanted() const = 0;
    // The result held, if the load has ended.
    [[nodiscard]] virtual const PreparedPicture* ready() const = 0;
    // Hands over the result for `request` when it can; when it cannot yet, the source tells its
    // owner later that something has come (PicturePreloader::prepared).
    [[nodiscard]] virtual std::optional<PreparedPicture> take(const PictureRequest& request) = 0;
};

} // namespace lmvo
