// Fuzzes the picture loader's one entry, at full size and at a small display size, for the
// extension the executable is named after: fuzz_picture_png decodes every input as a .png.
#include "picture/PictureLoad.h"
#include "picture/PictureSize.h"

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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string data(reinterpret_cast<const char*>(bytes), size);
    try {
        (void)lmvo::decodePicture(extension, data, "input");
    } catch (const lmvo::PictureError&) {
    }
    // A small odd size, both ways of fitting, so that every shrinking and enlarging path runs.
    const lmvo::FitMode fit = size % 2 ? lmvo::FitMode::FitInside : lmvo::FitMode::Stretch;
    try {
        (void)lmvo::decodePictureAt(extension, data, "input", {37, 23, fit});
    } catch (const lmvo::PictureError&) {
    }
    return 0;
}
