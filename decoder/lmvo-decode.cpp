// lmvo-decode: the decoder process of Lumivo. Started by the program (decoder/DecoderClient.h)
// with its socket as descriptor 3; not meant to be run by hand.
#include "decoder/DecodeRequest.h"
#include "decoder/Sandbox.h"
#include "decoder/Serve.h"
#include "decoder/SharedPixels.h"
#include "picture/PictureLoad.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// In the sanitizer build the address space cannot be limited (the shadow memory alone reserves
// terabytes); instead allocations fail, as they would under the limit, when one asks for more
// than 2 GB or while the process holds more than 2 GB (the sanitizer's own thread, started
// before the filter, watches that). Leaks are not looked for: the process is killed as often
// as it ends, and the leak checker's ptrace is outside the system-call filter.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0:allocator_may_return_null=1:max_allocation_size_mb=2048:soft_rss_limit_mb=2048";
}
#endif

int main()
{
    if (::isatty(lmvo::decoder::kSocketFd) || ::fcntl(lmvo::decoder::kSocketFd, F_GETFD) < 0) {
        std::fputs("lmvo-decode is Lumivo's decoder process; the program starts it itself\n", stderr);
        return 2;
    }
    ::mallopt(M_ARENA_MAX, 2);
    try {
        lmvo::startPictureLibraries();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lmvo-decode: %s\n", e.what());
    }
    lmvo::decoder::enterSandbox();
    lmvo::Bitmap::setPixelAllocator(&lmvo::decoder::sharedPixelAllocator());
    const int status = lmvo::decoder::serveRequests(lmvo::decoder::kSocketFd, lmvo::decoder::answerRequest);
    std::fflush(stderr);
    ::_exit(status); // no teardown of the libraries: nothing of theirs needs to outlive the process
}
