#include "picture/PictureFile.h"

#include "base/ReadFully.h"
#include "base/UniqueFd.h"
#include "picture/PictureError.h"
#include "picture/PictureSize.h"

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {
namespace {

void refuseUnlessRegular(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return;
    throw PictureError(S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is not a regular file",
                       PictureProblem::NotAFile);
}

struct stat regularFileStatus(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw PictureError::fromErrno(errno);
    refuseUnlessRegular(st);
    const std::uint64_t memory = availableMemory();
    if (memory != 0 && std::uint64_t(st.st_size) > memory / 2)
        throw PictureError("the file is too large for the memory available", PictureProblem::NoMemory);
    return st;
}

} // namespace

UniqueFd openPictureFile(const std::string& path)
{
    if (path.find('\0') != std::string::npos)
        throw PictureError("the file name contains a NUL byte", PictureProblem::Unreadable);
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        throw PictureError::fromErrno(errno);
    (void)regularFileStatus(fd.get());
    return fd;
}

std::string readPictureData(int fd)
{
    const struct stat st = regularFileStatus(fd);
    if (::lseek(fd, 0, SEEK_SET) != 0)
        throw PictureError::fromErrno(errno);
    std::string data(std::size_t(st.st_size), '\0');
    const std::int64_t got = readFully(fd, data.data(), data.size());
    if (got < 0)
        throw PictureError::fromErrno(errno);
    data.resize(std::size_t(got)); // the file shrank meanwhile: decode what is there
    return data;
}

std::string extensionOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return {};
    return path.substr(dot + 1);
}

} // namespace lmvo
