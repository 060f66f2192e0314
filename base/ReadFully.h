#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <unistd.h>

namespace lmvo {

// Reads until `size` bytes are in or the file ends first (it may have shrunk since it was
// measured), retrying interrupted reads. Returns the count read, or -1 with errno set when a
// read fails.
inline std::int64_t readFully(int fd, void* out, std::size_t size)
{
    auto* bytes = static_cast<unsigned char*>(out);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += std::size_t(n);
    }
    return std::int64_t(got);
}

} // namespace lmvo
