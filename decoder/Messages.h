#pragma once

// One message over the decoder's SOCK_SEQPACKET socket, with at most one descriptor riding
// along (SCM_RIGHTS), for both sides: the program sends a request with the picture file and
// receives a reply with the pixels; the decoder process does the opposite.

#include "base/UniqueFd.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <span>
#include <vector>

#include <sys/socket.h>

namespace lmvo::decoder {

// Sends `bytes` as one message, with `fd` attached unless it is -1. Returns the bytes sent, or
// -1 with errno set. Interrupted calls are retried; a peer that has gone is an error, not a
// signal.
inline ssize_t sendMessage(int socket, std::span<const unsigned char> bytes, int fd)
{
    iovec data{const_cast<unsigned char*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int))> control{};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    if (fd >= 0) {
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    ssize_t sent = 0;
    do
        sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent;
}

// One message received: its length (0 at the peer's end, -1 with errno set on failure), every
// descriptor that came with it, each owned here (a peer may send more than it should), and
// whether anything was cut off for not fitting.
struct Received {
    ssize_t bytes = 0;
    std::vector<UniqueFd> fds;
    bool truncated = false;
};

inline Received receiveMessage(int socket, std::span<unsigned char> buffer, int flags = 0)
{
    iovec data{buffer.data(), buffer.size()};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(4 * sizeof(int))> control{};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    Received out;
    do
        out.bytes = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC | flags);
    while (out.bytes < 0 && errno == EINTR);
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            out.fds.emplace_back(fd);
        }
    }
    out.truncated = (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0;
    return out;
}

} // namespace lmvo::decoder
