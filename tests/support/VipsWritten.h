#pragma once

#include <vips/vips8>

#include <cstddef>
#include <string>

namespace lmvo::test {

// The file libvips writes of `image` for `suffix` (".png", ".jpg[Q=90]", ...); it takes the
// options and frees them. Shared by the tests, the fuzz seeds and the benchmarks.
inline std::string vipsWritten(const vips::VImage& image, const char* suffix, vips::VOption* options = nullptr)
{
    void* buffer = nullptr;
    std::size_t size = 0;
    image.write_to_buffer(suffix, &buffer, &size, options);
    std::string bytes(static_cast<const char*>(buffer), size);
    g_free(buffer);
    return bytes;
}

} // namespace lmvo::test
