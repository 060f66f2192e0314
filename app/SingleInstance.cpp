#include "app/SingleInstance.h"

#include "forms/ErrorReporter.h"

#include <QCoreApplication>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {

namespace {

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// A folder in a shared place such as /tmp is trusted only when it is our own and closed to
// others; anyone could have made it before us.
void checkPrivateFolder(const std::string& folder)
{
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0)
        throw std::runtime_error(systemError(folder));
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 077) != 0)
        throw std::runtime_error(folder + " is not a private folder of this user");
}

} // namespace

std::string lockFolder(const char* runtimeDir, const std::string& tmpBase)
{
    if (runtimeDir && *runtimeDir)
        return runtimeDir;
    const std::string folder = tmpBase + "/lmvo-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error(systemError(folder));
    checkPrivateFolder(folder);
    return folder;
}

SingleInstance::SingleInstance(const std::string& name)
{
    try {
        path_ = lockFolder(std::getenv("XDG_RUNTIME_DIR")) + "/" + name;
    } catch (const std::exception& e) {
        problem_ = e.what();
        return;
    }
    fd_.reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd_) {
        problem_ = systemError(path_);
        return;
    }
    if (flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        state_ = State::Acquired;
        return;
    }
    state_ = errno == EWOULDBLOCK ? State::AlreadyRunning : State::Unavailable;
    if (state_ == State::Unavailable)
        problem_ = systemError(path_);
    fd_.reset();
}

SingleInstance::~SingleInstance() = default;

bool announceIfRunning(const SingleInstance& guard)
{
    if (!guard.alreadyRunning())
        return false;
    messageBoxes().show(nullptr, {QCoreApplication::translate("lmvo::SingleInstance", AlreadyRunningText), QString(),
                                  BoxIcon::Information});
    return true;
}

} // namespace lmvo
