// Fuzzes the decoder process's work for one request (the picture layer's one entry behind it),
// at full size and at a small display size, for the extension the executable is named after:
// fuzz_picture_png decodes every input as a .png, read from a descriptor as the process reads it.
#include "decoder/DecodeRequest.h"
#include "picture/PictureLoad.h"
#include "picture/PictureSize.h"

#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace lmvo {

// The fuzzer's stand-in for the system's figure (a link-time replacement: the library's own
// definition sits in a file of its own and is then never linked). With it the size check
// refuses pictures over 8 megapixels, so that a few bytes declaring a picture of the largest
// size the show takes cost milliseconds, not seconds and gigabytes, and the fuzzer keeps looking
// at how files are decoded rather than at how much memory they ask for.
std::uint64_t availableMemory()
{
    return std::uint64_t(256) << 20;
}

} // namespace lmvo

namespace {

std::string extension;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    const std::string self = *argc > 0 ? (*argv)[0] : "";
    const auto underscore = self.rfind('_');
    extension = underscore == std::string::npos ? "" : self.substr(underscore + 1);
    if (!lmvo::isPictureExtension(extension)) {
        std::fprintf(stderr, "run this as fuzz_picture_EXT, where EXT is an extension the loader knows\n");
        std::exit(2);
    }
    return 0;
}

namespace {

// The input as the file the process is handed.
lmvo::UniqueFd fileOf(const std::uint8_t* bytes, std::size_t size)
{
    lmvo::UniqueFd fd(::memfd_create("input", MFD_CLOEXEC));
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd.get(), bytes + done, size - done, off_t(done));
        if (n <= 0)
            std::abort();
        done += std::size_t(n);
    }
    return fd;
}

lmvo::decoder::Request requestFor(std::int32_t width, std::int32_t height, lmvo::FitMode fit)
{
    lmvo::decoder::Request request;
    request.width = width;
    request.height = height;
    request.fit = std::uint8_t(fit);
    std::strncpy(request.extension, extension.c_str(), sizeof request.extension - 1);
    return request;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const lmvo::UniqueFd file = fileOf(bytes, size);
    (void)lmvo::decoder::answerRequest(requestFor(0, 0, lmvo::FitMode::Stretch), file.get());
    // A small odd size, both ways of fitting, so that every shrinking and enlarging path runs.
    const lmvo::FitMode fit = size % 2 ? lmvo::FitMode::FitInside : lmvo::FitMode::Stretch;
    (void)lmvo::decoder::answerRequest(requestFor(37, 23, fit), file.get());
    return 0;
}
