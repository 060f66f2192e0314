#include "tests/support/SyntheticPhoto.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace lmvo {

namespace {

struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void leave(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

void fillRow(std::vector<JSAMPLE>& row, int y, int width, int height, std::uint32_t& noise, std::uint32_t seed)
{
    const int tint = int(seed * 53u % 160u);
    for (int x = 0; x < width; ++x) {
        noise = noise * 1664525u + 1013904223u;
        const int n = int(noise >> 27) - 16;
        const auto clamp = [](int v) { return JSAMPLE(v < 0 ? 0 : v > 255 ? 255 : v); };
        row[std::size_t(x) * 3] = clamp(int(std::int64_t(x) * 255 / width) + n);
        row[std::size_t(x) * 3 + 1] = clamp(int(std::int64_t(y) * 255 / height) + n);
        row[std::size_t(x) * 3 + 2] = clamp(tint + n);
    }
}

} // namespace

bool writeSyntheticPhoto(const std::string& path, int width, int height, std::uint32_t seed, int quality)
{
    if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::vector<JSAMPLE> row(std::size_t(width) * 3);
    std::uint32_t noise = seed;
    jpeg_compress_struct c{};
    ErrorTrap trap{};
    c.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = leave;
    // Nothing that owns a resource is made between here and the last libjpeg call.
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&c);
        std::fclose(file);
        return false;
    }
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < height; ++y) {
        fillRow(row, y, width, height, noise, seed);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(file) == 0;
}

} // namespace lmvo
