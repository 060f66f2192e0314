#include "decoder/DecoderClient.h"

#include "base/Ascii.h"
#include "base/Clock.h"
#include "base/UniqueFd.h"
#include "decoder/DecoderProcess.h"
#include "decoder/Messages.h"
#include "decoder/Protocol.h"
#include "decoder/ReplyParser.h"
#include "picture/PictureFile.h"
#include "picture/PictureFormat.h"
#include "picture/PictureSize.h"

#include <array>
#include <functional>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lmvo {
namespace {

using decoder::DecoderProcess;
using decoder::Request;

// The longest one picture may take, past which its process is killed: well beyond the slowest
// legitimate decode (a 100-megapixel HEIC, a few seconds), and longer still under the
// sanitizers, which slow decoding down several times.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::int64_t kDecodeTimeoutMs = 120'000;
#else
constexpr std::int64_t kDecodeTimeoutMs = 30'000;
#endif

// How long a killed process is given to be reaped before it is left as a zombie.
constexpr int kReapMs = 200;

// The processes waiting for a picture, shared by every thread that decodes.
class DecoderPool {
public:
    static DecoderPool& instance()
    {
        static DecoderPool pool;
        return pool;
    }

    // A waiting process, or a new one.
    std::unique_ptr<DecoderProcess> take()
    {
        const std::lock_guard lock(mutex_);
        while (!waiting_.empty()) {
            std::unique_ptr<DecoderProcess> p = std::move(waiting_.back());
            waiting_.pop_back();
            if (!p->ended())
                return p;
        }
        return std::make_unique<DecoderProcess>(programLocked());
    }

    // A process that answered well waits for the next picture; one too many is ended.
    void giveBack(std::unique_ptr<DecoderProcess> process)
    {
        const std::lock_guard lock(mutex_);
        if (waiting_.size() < kWaiting)
            waiting_.push_back(std::move(process));
    }

    // Starts one now when none is waiting. A program that cannot start is reported by the
    // decode that needs it.
    void startAhead() noexcept
    {
        try {
            const std::lock_guard lock(mutex_);
            if (waiting_.empty())
                waiting_.push_back(std::make_unique<DecoderProcess>(programLocked()));
        } catch (...) {
        }
    }

    void setProgram(const std::string& path)
    {
        const std::lock_guard lock(mutex_);
        program_ = path;
        waiting_.clear();
    }

private:
    // One for the show's look-ahead and one for a picture the control loads meanwhile.
    static constexpr std::size_t kWaiting = 2;

    const std::string& programLocked()
    {
        if (program_.empty())
            program_ = decoderProgram();
        return program_;
    }

    std::mutex mutex_;
    std::string program_;
    std::vector<std::unique_ptr<DecoderProcess>> waiting_;
};

// The process was gone before it took the request: another one may take it.
struct ProcessGone {};
// The process ended without an answer.
struct ProcessEnded {};

// Raises an eventfd when a stop is requested, for poll() to see.
class StopSignal {
public:
    explicit StopSignal(std::stop_token stop)
        : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), callback_(std::move(stop), [this] { raise(); })
    {
        if (!fd_)
            throw PictureError::fromErrno(errno);
    }
    [[nodiscard]] int fd() const { return fd_.get(); }

private:
    void raise() const
    {
        const std::uint64_t one = 1;
        (void)!::write(fd_.get(), &one, sizeof one);
    }
    UniqueFd fd_;
    std::stop_callback<std::function<void()>> callback_;
};

void sendRequest(const DecoderProcess& process, const Request& request, int file)
{
    const ssize_t sent =
        decoder::sendMessage(process.socket(), {reinterpret_cast<const unsigned char*>(&request), sizeof request}, file);
    if (sent == ssize_t(sizeof request))
        return;
    if (sent < 0 && (errno == EPIPE || errno == ECONNRESET || errno == ECONNREFUSED))
        throw ProcessGone{};
    throw PictureError::fromErrno(sent < 0 ? errno : EIO);
}

// A process that could not install its system-call filter decodes under its limits alone: the
// user is told once in the program's life, on stderr.
void noteUnfiltered(std::span<const unsigned char> message)
{
    decoder::ReplyHeader header;
    if (message.size() < sizeof header)
        return;
    std::memcpy(&header, message.data(), sizeof header);
    static std::once_flag told;
    if (header.magic == decoder::kReplyMagic && header.unfiltered != 0)
        std::call_once(told, [] {
            std::fputs("lmvo: the system-call filter of the picture decoder cannot be installed here; pictures "
                       "are decoded under its memory and time limits alone\n",
                       stderr);
        });
}

// The reply waiting on the socket: the message and the descriptor that came with it. More than
// one descriptor, or a message cut short, breaks the protocol.
Bitmap receiveReply(const DecoderProcess& process, const Request& request)
{
    std::vector<unsigned char> bytes(decoder::kMaxReplyBytes + 1);
    decoder::Received reply = decoder::receiveMessage(process.socket(), bytes, MSG_DONTWAIT);
    const ssize_t got = reply.bytes;
    std::vector<UniqueFd>& fds = reply.fds;
    if (got == 0 && fds.empty())
        throw ProcessEnded{};
    if (got < 0)
        throw PictureError::fromErrno(errno);
    if (fds.size() > 1 || reply.truncated)
        throw PictureError("its answer was malformed: more than it may send", PictureProblem::DecoderStopped);
    UniqueFd pixels = fds.empty() ? UniqueFd() : std::move(fds.front());
    noteUnfiltered({bytes.data(), std::size_t(got)});
    return decoder::pictureOfReply({bytes.data(), std::size_t(got)}, std::move(pixels), request);
}

// What a process that died without an answer gets reported as. Out of time (SIGXCPU, or the
// system's SIGKILL when it ran out of memory) is the picture's cost; anything else, the
// decoder's fault.
[[noreturn]] void failEnded(const std::optional<DecoderProcess::Ending>& ending)
{
    if (!ending)
        throw PictureError("it stopped answering", PictureProblem::DecoderStopped);
    if (!ending->signalled)
        throw PictureError("it ended with exit status " + std::to_string(ending->code), PictureProblem::DecoderStopped);
    const char* name = ::sigabbrev_np(ending->code);
    const std::string signal = name ? std::string("SIG") + name : "signal " + std::to_string(ending->code);
    if (ending->code == SIGXCPU || ending->code == SIGKILL)
        throw PictureError("its decoder was stopped by " + signal + " for the memory or time it took",
                           PictureProblem::TooCostly);
    throw PictureError("it ended with " + signal, PictureProblem::DecoderStopped);
}

// Sends the request and waits for the reply, the process's end, the stop or the time limit,
// whichever comes first: never for a codec.
Bitmap exchange(DecoderProcess& process, const Request& request, int file, std::stop_token stop)
{
    const StopSignal stopped(stop);
    sendRequest(process, request, file);
    const std::int64_t deadline = nowMs() + kDecodeTimeoutMs;
    for (;;) {
        std::array<pollfd, 3> watched{{{process.socket(), POLLIN, 0}, {process.pidfd(), POLLIN, 0}, {stopped.fd(), POLLIN, 0}}};
        const std::int64_t left = deadline - nowMs();
        const int ready = left > 0 ? ::poll(watched.data(), watched.size(), int(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (watched[2].revents != 0 || stop.stop_requested()) {
            process.kill();
            throw PictureCancelled();
        }
        if (ready == 0) {
            process.kill();
            throw PictureError("it took longer than " + std::to_string(kDecodeTimeoutMs / 1000) + " seconds",
                               PictureProblem::TooCostly);
        }
        if ((watched[0].revents & POLLIN) != 0) {
            try {
                return receiveReply(process, request);
            } catch (const ProcessEnded&) {
                failEnded(process.reap(kReapMs));
            } catch (const PictureError& e) {
                if (e.problem() == PictureProblem::DecoderStopped)
                    process.kill(); // it lied once: it answers no more
                throw;
            }
        }
        if (watched[0].revents != 0 || watched[1].revents != 0) {
            process.kill();
            failEnded(process.reap(kReapMs));
        }
    }
}

Request requestFor(const std::string& extension, const std::optional<DisplaySize>& size)
{
    Request request;
    if (size) {
        request.width = size->width;
        request.height = size->height;
        request.fit = std::uint8_t(size->fit);
    }
    std::strncpy(request.extension, extension.c_str(), sizeof request.extension - 1);
    return request;
}

Bitmap decodeThroughProcess(int file, const Request& request, std::stop_token stop)
{
    DecoderPool& pool = DecoderPool::instance();
    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<DecoderProcess> process = pool.take();
        try {
            Bitmap picture = exchange(*process, request, file, stop);
            pool.giveBack(std::move(process));
            return picture;
        } catch (const ProcessGone&) {
            if (attempt > 0)
                failEnded(process->reap(kReapMs));
        } catch (...) {
            // A process that told of a failure serves on; one that was killed, or died, is
            // reaped here and a fresh one is started for the next picture.
            if (process->killed() || process->ended()) {
                process.reset();
                pool.startAhead();
            } else {
                pool.giveBack(std::move(process));
            }
            throw;
        }
    }
}

Bitmap decode(const std::string& path, const std::optional<DisplaySize>& size, std::stop_token stop)
{
    const std::string extension = extensionOf(path);
    (void)showableFormat(extension, path);
    try {
        if (size)
            checkDisplaySize(size->width, size->height);
        const UniqueFd file = openPictureFile(path);
        if (stop.stop_requested())
            throw PictureCancelled();
        return decodeThroughProcess(file.get(), requestFor(extension, size), std::move(stop));
    } catch (const PictureError& e) {
        throw e.about(path, asciiUpper(extension));
    } catch (const std::bad_alloc&) {
        throw PictureError({}, PictureProblem::NoMemory).about(path);
    }
}

} // namespace

Bitmap decodeFile(const std::string& path) { return decode(path, std::nullopt, {}); }

Bitmap decodeFileAt(const std::string& path, const DisplaySize& size, std::stop_token stop)
{
    return decode(path, size, std::move(stop));
}

void startDecoderAhead() { DecoderPool::instance().startAhead(); }

void setDecoderProgram(const std::string& path) { DecoderPool::instance().setProgram(path); }

} // namespace lmvo
