// Fuzzes the program's side of the decoder process's answers, as a child that lies would send
// them. The first byte of an input says whether a memfd comes with the message (bit 0) and
// whether it is sealed (bit 1); the next four bytes give the memfd's size; the rest is the
// message, answering a request for 37 x 23 pixels (or for the full size when bit 2 is set).
#include "decoder/ReplyParser.h"
#include "picture/PictureError.h"
#include "picture/PictureSize.h"

#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace lmvo {

// As in the picture fuzzer: full-size answers are checked against 256 MB, so that a lie about
// a huge picture costs nothing here.
std::uint64_t availableMemory()
{
    return std::uint64_t(256) << 20;
}

} // namespace lmvo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 5)
        return 0;
    const std::uint8_t flags = bytes[0];
    std::uint32_t memfdBytes = 0;
    std::memcpy(&memfdBytes, bytes + 1, 4);
    lmvo::UniqueFd pixels;
    if (flags & 1) {
        pixels.reset(::memfd_create("reply", MFD_CLOEXEC | MFD_ALLOW_SEALING));
        if (::ftruncate(pixels.get(), off_t(memfdBytes % (64u << 20))) != 0)
            return 0;
        if (flags & 2)
            ::fcntl(pixels.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE);
    }
    lmvo::decoder::Request request;
    if (!(flags & 4)) {
        request.width = 37;
        request.height = 23;
    }
    try {
        const lmvo::Bitmap picture = lmvo::decoder::pictureOfReply({bytes + 5, size - 5}, std::move(pixels), request);
        // Whatever was accepted must be readable to its last pixel.
        volatile std::uint32_t last = picture.scanLine(picture.height() - 1)[picture.width() - 1];
        (void)last;
    } catch (const lmvo::PictureError&) {
    }
    return 0;
}
