#pragma once

#include <string>

namespace lmvo {

// Reads a whole picture file into memory. Opening does not wait (a FIFO or a device with a
// picture's name would block for ever), and only regular files are read; a file larger than
// half of the memory available is refused. `path` is native bytes. Throws PictureError with
// the system's reason (without the file name).
[[nodiscard]] std::string readPictureFile(const std::string& path);

// The part after the last dot of the last path component, as written ("" without one).
[[nodiscard]] std::string extensionOf(const std::string& path);

} // namespace lmvo
