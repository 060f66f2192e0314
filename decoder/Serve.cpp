#include "decoder/Serve.h"

#include "decoder/Messages.h"
#include "decoder/Sandbox.h"
#include "picture/PictureError.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/socket.h>

namespace lmvo::decoder {
namespace {

struct Incoming {
    bool ended = false;
    bool wellFormed = false;
    Request request;
    UniqueFd file;
};

Incoming receive(int socket)
{
    Incoming out;
    Received got = receiveMessage(socket, {reinterpret_cast<unsigned char*>(&out.request), sizeof out.request});
    if (got.bytes <= 0) {
        out.ended = true;
        return out;
    }
    out.wellFormed = got.bytes == ssize_t(sizeof out.request) && got.fds.size() == 1 && !got.truncated;
    if (out.wellFormed)
        out.file = std::move(got.fds.front());
    return out;
}

bool send(int socket, const Answer& answer)
{
    std::vector<unsigned char> bytes(sizeof answer.header + answer.detail.size());
    std::memcpy(bytes.data(), &answer.header, sizeof answer.header);
    std::memcpy(bytes.data() + sizeof answer.header, answer.detail.data(), answer.detail.size());
    return sendMessage(socket, bytes, answer.pixels ? answer.pixels.get() : -1) == ssize_t(bytes.size());
}

Answer malformedRequest()
{
    Answer answer;
    const std::string detail = "the decoder was asked in a way it does not know";
    answer.header.problem = std::uint8_t(PictureProblem::NotShown);
    answer.header.detailBytes = std::uint32_t(detail.size());
    answer.detail = detail;
    return answer;
}

} // namespace

int serveRequests(int socket, const Answerer& answer)
{
    for (;;) {
        Incoming got = receive(socket);
        if (got.ended)
            return 0;
        limitTimeOfNextPicture();
        Answer reply = got.wellFormed ? answer(got.request, got.file.get()) : malformedRequest();
        reply.header.unfiltered = filtered() ? 0 : 1;
        if (!send(socket, reply))
            return 0;
    }
}

} // namespace lmvo::decoder
