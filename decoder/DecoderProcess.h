#pragma once

#include "base/UniqueFd.h"

#include <optional>
#include <string>

#include <sys/types.h>

namespace lmvo::decoder {

// One decoder process, started with posix_spawn (never a bare fork of the threaded program)
// with its end of a SOCK_SEQPACKET socket pair as descriptor 3 and nothing else inherited.
// Watched through a pidfd, so that signals and reaping can never reach another process that
// took its number. Destroying it kills it.
class DecoderProcess {
public:
    // Throws PictureError (DecoderStopped) when the program cannot be started.
    explicit DecoderProcess(const std::string& program);
    ~DecoderProcess();
    DecoderProcess(const DecoderProcess&) = delete;
    DecoderProcess& operator=(const DecoderProcess&) = delete;

    [[nodiscard]] int socket() const { return socket_.get(); }
    [[nodiscard]] int pidfd() const { return pidfd_.get(); }
    [[nodiscard]] pid_t pid() const { return pid_; }

    // Whether it has ended (without waiting).
    [[nodiscard]] bool ended() const;
    // SIGKILL, at once.
    void kill();
    [[nodiscard]] bool killed() const { return killed_; }
    struct Ending {
        bool signalled = false; // by a signal, else by exit()
        int code = 0;           // the signal, or the exit status
    };
    // How it ended, once it has, reaped; waits at most `timeoutMs` for the end. None when it
    // has not ended by then (a process stuck in the kernel, say: it stays a zombie until the
    // program ends rather than keep anyone waiting) or was reaped already.
    [[nodiscard]] std::optional<Ending> reap(int timeoutMs);

private:
    pid_t pid_ = -1;
    UniqueFd pidfd_;
    UniqueFd socket_;
    bool reaped_ = false;
    bool killed_ = false;
};

} // namespace lmvo::decoder
