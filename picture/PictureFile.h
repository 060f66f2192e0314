#pragma once

#include "base/UniqueFd.h"

#include <string>

namespace lmvo {

// Opens a picture file for reading. Opening does not wait (a FIFO or a device with a picture's
// name would block for ever), and only regular files are taken; a file larger than half of the
// memory available is refused. `path` is native bytes. Throws PictureError with the system's
// reason (without the file name).
[[nodiscard]] UniqueFd openPictureFile(const std::string& path);

// Reads the whole of an open regular file from its start (a file that shrank meanwhile gives
// what is there).
// Throws PictureError as openPictureFile does.
[[nodiscard]] std::string readPictureData(int fd);

// The part after the last dot of the last path component, as written ("" without one).
[[nodiscard]] std::string extensionOf(const std::string& path);

} // namespace lmvo
