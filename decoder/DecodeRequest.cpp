#include "decoder/DecodeRequest.h"

#include "decoder/SharedPixels.h"
#include "picture/PictureFile.h"
#include "picture/PictureLoad.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace lmvo::decoder {
namespace {

Answer failure(PictureProblem problem, const std::string& detail, const std::string& format = {})
{
    Answer answer;
    answer.header.status = ReplyStatus::Failure;
    answer.header.problem = std::uint8_t(problem);
    answer.detail = detail.substr(0, kMaxDetailBytes);
    answer.header.detailBytes = std::uint32_t(answer.detail.size());
    std::strncpy(answer.header.format, format.c_str(), sizeof answer.header.format - 1);
    return answer;
}

std::optional<DisplaySize> sizeOf(const Request& request)
{
    if (request.width == 0 && request.height == 0)
        return std::nullopt;
    if (request.fit > std::uint8_t(FitMode::FitInside))
        throw PictureError("the request named an unknown fit", PictureProblem::NotShown);
    return DisplaySize{request.width, request.height, FitMode(request.fit)};
}

void seal(int fd)
{
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
        throw PictureError::fromErrno(errno);
}

// The picture goes over in the memfd it was decoded into when the shared allocator gave its
// pixels (lmvo-decode), else as a copy.
Answer pictureAnswer(Bitmap picture)
{
    Answer answer;
    answer.header.status = ReplyStatus::Picture;
    answer.header.width = picture.width();
    answer.header.height = picture.height();
    answer.pixels = takePixelStore(picture.bits());
    if (!answer.pixels)
        answer.pixels = sealedPixels(picture);
    picture = Bitmap(); // its shared mapping must go before the memfd is sealed against writing
    seal(answer.pixels.get());
    return answer;
}

} // namespace

// From the seals on neither side can change the memfd's size or content, so what the parent
// checked is what it maps.
UniqueFd sealedPixels(const Bitmap& picture)
{
    const std::size_t bytes = std::size_t(picture.width()) * std::size_t(picture.height()) * 4;
    UniqueFd fd(::memfd_create("lmvo-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!fd || ::ftruncate(fd.get(), off_t(bytes)) != 0)
        throw PictureError::fromErrno(errno);
    const auto* p = reinterpret_cast<const char*>(picture.bits());
    for (std::size_t done = 0; done < bytes;) {
        const ssize_t n = ::pwrite(fd.get(), p + done, bytes - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw PictureError::fromErrno(n < 0 ? errno : EIO);
        done += std::size_t(n);
    }
    return fd;
}

Answer answerRequest(const Request& request, int file)
{
    try {
        if (request.magic != kRequestMagic || !std::memchr(request.extension, '\0', sizeof request.extension))
            return failure(PictureProblem::NotShown, "the decoder was asked in a way it does not know");
        const std::string extension = request.extension;
        const std::optional<DisplaySize> size = sizeOf(request);
        const std::string data = readPictureData(file);
        return pictureAnswer(size ? decodePictureAt(extension, data, {}, *size) : decodePicture(extension, data, {}));
    } catch (const PictureError& e) {
        return failure(e.problem(), e.detail(), e.format());
    } catch (const std::bad_alloc&) {
        // The process's own ceiling, well below what the machine has.
        return failure(PictureProblem::TooCostly, "the decoder's memory limit was reached");
    } catch (const std::exception& e) {
        return failure(PictureProblem::NotShown, e.what());
    }
}

} // namespace lmvo::decoder
