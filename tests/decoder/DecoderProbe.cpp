// lmvo-decode-probe: the decoder process under the same limits and filter, misbehaving on cue
// for the tests. A file whose content begins "PROBE " followed by a cue is not decoded:
//   kill, segv     the process ends by that signal mid-request
//   socket, write  it opens a socket, or a file for writing (the filter must kill it)
//   hang           it never answers
//   wrong-size     it answers a 1 x 1 picture whatever was asked
//   unsealed       it answers the right size in a memfd that is not sealed
// Every other file is decoded as lmvo-decode decodes it.
#include "decoder/DecodeRequest.h"
#include "decoder/Sandbox.h"
#include "decoder/Serve.h"
#include "decoder/SharedPixels.h"
#include "picture/PictureLoad.h"

#include <csignal>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace lmvo::decoder;

std::string cueOf(int file)
{
    char head[32] = {};
    if (::pread(file, head, sizeof head - 1, 0) < 6 || std::strncmp(head, "PROBE ", 6) != 0)
        return {};
    std::string cue(head + 6);
    return cue.substr(0, cue.find_first_of("\r\n "));
}

Answer pixelsOf(std::int32_t width, std::int32_t height, bool sealed)
{
    Answer answer;
    answer.header.status = ReplyStatus::Picture;
    answer.header.width = width;
    answer.header.height = height;
    answer.pixels = lmvo::UniqueFd(::memfd_create("probe", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    (void)::ftruncate(answer.pixels.get(), off_t(width) * height * 4);
    if (sealed)
        ::fcntl(answer.pixels.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE);
    return answer;
}

Answer misbehave(const Request& request, int file)
{
    const std::string cue = cueOf(file);
    if (cue == "kill" || cue == "segv")
        std::raise(cue == "kill" ? SIGKILL : SIGSEGV);
    if (cue == "socket")
        (void)::socket(AF_INET, SOCK_STREAM, 0);
    if (cue == "write")
        (void)::open("lmvo-probe-written", O_WRONLY | O_CREAT, 0600);
    if (cue == "hang")
        for (;;)
            ::pause();
    if (cue == "wrong-size")
        return pixelsOf(1, 1, true);
    if (cue == "unsealed")
        return pixelsOf(request.width, request.height, false);
    if (!cue.empty()) {
        Answer survived;
        survived.header.problem = std::uint8_t(lmvo::PictureProblem::NotShown);
        return survived; // the filter let it through: the test sees a plain failure
    }
    return answerRequest(request, file);
}

} // namespace

int main()
{
    lmvo::startPictureLibraries();
    enterSandbox();
    lmvo::Bitmap::setPixelAllocator(&sharedPixelAllocator());
    ::_exit(serveRequests(kSocketFd, misbehave));
}
