#include "decoder/Serve.h"

#include "decoder/Sandbox.h"
#include "picture/PictureError.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/socket.h>

namespace lmvo::decoder {
namespace {

struct Received {
    bool ended = false;
    bool wellFormed = false;
    Request request;
    UniqueFd file;
};

Received receive(int socket)
{
    Received out;
    iovec data{&out.request, sizeof out.request};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(4 * sizeof(int))> control{};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    ssize_t got = 0;
    do
        got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    if (got <= 0) {
        out.ended = true;
        return out;
    }
    std::vector<UniqueFd> fds;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        for (std::size_t i = 0; i < (c->cmsg_len - CMSG_LEN(0)) / sizeof(int); ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            fds.emplace_back(fd);
        }
    }
    out.wellFormed = got == ssize_t(sizeof out.request) && fds.size() == 1 &&
                     (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0;
    if (out.wellFormed)
        out.file = std::move(fds.front());
    return out;
}

bool send(int socket, const Answer& answer)
{
    std::vector<unsigned char> bytes(sizeof answer.header + answer.detail.size());
    std::memcpy(bytes.data(), &answer.header, sizeof answer.header);
    std::memcpy(bytes.data() + sizeof answer.header, answer.detail.data(), answer.detail.size());
    iovec data{bytes.data(), bytes.size()};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int))> control{};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    if (answer.pixels) {
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        const int fd = answer.pixels.get();
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    ssize_t sent = 0;
    do
        sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == ssize_t(bytes.size());
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
        Received got = receive(socket);
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
