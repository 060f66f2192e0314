#include "decoder/DecoderProcess.h"

#include "decoder/Protocol.h"
#include "picture/PictureError.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace lmvo::decoder {
namespace {

[[noreturn]] void failToStart(const std::string& program, int error)
{
    throw PictureError("the decoder program " + program + " cannot be started: " +
                           std::error_code(error, std::generic_category()).message(),
                       PictureProblem::DecoderStopped);
}

// Spawn settings that give the child a clean start: default handling of every signal (the
// program may ignore SIGPIPE, say) and nothing blocked.
class SpawnAttributes {
public:
    SpawnAttributes()
    {
        posix_spawnattr_init(&attr_);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr_, &none);
        posix_spawnattr_setsigdefault(&attr_, &all);
        posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    [[nodiscard]] const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_;
};

// The child's end as descriptor 3, every other descriptor closed.
class SpawnDescriptors {
public:
    explicit SpawnDescriptors(int childEnd)
    {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, childEnd, kSocketFd);
        posix_spawn_file_actions_addclosefrom_np(&actions_, kSocketFd + 1);
#if !defined(__SANITIZE_ADDRESS__)
        // Decoders print their complaints about damaged files (libjxl its traces, say); the
        // user reads what went wrong in the box, not in a terminal. The sanitizers' reports in
        // the test build stay on stderr.
        posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#endif
    }
    ~SpawnDescriptors() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnDescriptors(const SpawnDescriptors&) = delete;
    SpawnDescriptors& operator=(const SpawnDescriptors&) = delete;
    [[nodiscard]] const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

} // namespace

DecoderProcess::DecoderProcess(const std::string& program)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        failToStart(program, errno);
    socket_.reset(ends[0]);
    UniqueFd childEnd(ends[1]);
    if (childEnd.get() == kSocketFd) // dup2 onto itself would keep close-on-exec set
        childEnd.reset(::fcntl(kSocketFd, F_DUPFD_CLOEXEC, kSocketFd + 1));
    if (!childEnd)
        failToStart(program, errno);
    const SpawnAttributes attributes;
    const SpawnDescriptors descriptors(childEnd.get());
    std::string name = "lmvo-decode";
    char* argv[] = {name.data(), nullptr};
    if (const int error = ::posix_spawn(&pid_, program.c_str(), descriptors.get(), attributes.get(), argv, environ))
        failToStart(program, error);
    pidfd_.reset(int(::syscall(SYS_pidfd_open, pid_, 0)));
    if (!pidfd_) {
        const int error = errno;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        reaped_ = true;
        failToStart(program, error);
    }
}

DecoderProcess::~DecoderProcess()
{
    if (reaped_)
        return;
    kill();
    (void)reap(100);
}

bool DecoderProcess::ended() const
{
    pollfd p{pidfd_.get(), POLLIN, 0};
    return reaped_ || ::poll(&p, 1, 0) > 0;
}

void DecoderProcess::kill()
{
    killed_ = true;
    if (!reaped_)
        ::syscall(SYS_pidfd_send_signal, pidfd_.get(), SIGKILL, nullptr, 0);
}

std::optional<DecoderProcess::Ending> DecoderProcess::reap(int timeoutMs)
{
    if (reaped_)
        return std::nullopt;
    pollfd p{pidfd_.get(), POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return std::nullopt;
    siginfo_t info{};
    if (::waitid(idtype_t(P_PIDFD), id_t(pidfd_.get()), &info, WEXITED | WNOHANG) != 0 || info.si_pid == 0)
        return std::nullopt;
    reaped_ = true;
    return Ending{info.si_code != CLD_EXITED, info.si_status};
}

} // namespace lmvo::decoder
