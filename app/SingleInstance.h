#pragma once

#include "base/UniqueFd.h"

#include <QtGlobal>

#include <string>

namespace lmvo {

// Keeps a second copy of the program from running. The first copy holds an exclusive lock on
// a file named after the program in the user's runtime folder until it ends; the kernel
// releases the lock when a copy crashes, and the descriptor is closed on exec, so a program
// started from here (a browser opened from a link) never keeps it.
class SingleInstance {
public:
    enum class State {
        Acquired,       // this is the only copy
        AlreadyRunning, // another copy holds the lock
        Unavailable,    // no lock could be made; the program runs unguarded
    };

    // Takes the lock "<runtime folder>/<name>".
    explicit SingleInstance(const std::string& name = "lmvo");
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    [[nodiscard]] State state() const { return state_; }
    [[nodiscard]] bool alreadyRunning() const { return state_ == State::AlreadyRunning; }
    [[nodiscard]] const std::string& lockPath() const { return path_; }
    // Why the lock is unavailable (empty otherwise).
    [[nodiscard]] const std::string& problem() const { return problem_; }

private:
    UniqueFd fd_;
    State state_ = State::Unavailable;
    std::string path_;
    std::string problem_;
};

// The folder for the lock: `runtimeDir` ($XDG_RUNTIME_DIR) when it is set, else
// "<tmpBase>/lmvo-<uid>", made with mode 0700. A fallback folder that is a link, is not a
// folder, belongs to another user or is open to others is refused (throws std::runtime_error):
// a lock there could be held or swapped by someone else.
std::string lockFolder(const char* runtimeDir, const std::string& tmpBase = "/tmp");

// The text a second copy shows before it ends (translated in the context "lmvo::SingleInstance").
inline constexpr char AlreadyRunningText[] = QT_TRANSLATE_NOOP("lmvo::SingleInstance", "“Lumivo”已运行！");

// Shows the box of a second copy through the message boxes in use; true when the caller
// should end with exit code 0 without showing a window.
bool announceIfRunning(const SingleInstance& guard);

} // namespace lmvo
