#include "decoder/ReplyParser.h"

#include "picture/DisplaySize.h"
#include "picture/PictureError.h"
#include "picture/PictureSize.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace lmvo::decoder {
namespace {

[[noreturn]] void failMalformed(const std::string& why)
{
    throw PictureError("its answer was malformed: " + why, PictureProblem::DecoderStopped);
}

std::string boundedText(const char* text, std::size_t capacity)
{
    const auto* end = static_cast<const char*>(std::memchr(text, '\0', capacity));
    if (!end)
        failMalformed("a text without its end");
    return std::string(text, end);
}

bool isProblem(std::uint8_t value)
{
    return value <= std::uint8_t(PictureProblem::DecoderStopped);
}

[[noreturn]] void failAsTold(const ReplyHeader& header, std::span<const unsigned char> message, bool withPixels)
{
    if (withPixels)
        failMalformed("pixels came with a failure");
    if (header.detailBytes > kMaxDetailBytes || message.size() != sizeof header + header.detailBytes)
        failMalformed("the length of a failure's detail");
    if (!isProblem(header.problem))
        failMalformed("an unknown kind of failure");
    const std::string detail(reinterpret_cast<const char*>(message.data() + sizeof header), header.detailBytes);
    throw PictureError(detail, PictureProblem(header.problem), boundedText(header.format, sizeof header.format));
}

void checkSize(const ReplyHeader& header, const Request& request)
{
    if (header.detailBytes != 0 || header.width <= 0 || header.height <= 0)
        failMalformed("the size of the picture");
    if (request.width > 0 && (header.width != request.width || header.height != request.height))
        failMalformed("a picture of another size than asked for (" + std::to_string(header.width) + " x " +
                      std::to_string(header.height) + ")");
    checkPictureSize(header.width, header.height);
}

// The memfd must hold exactly the rows, and be sealed against any change of size or content.
void checkPixelStore(int fd, std::size_t bytes)
{
    constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
    const int seals = ::fcntl(fd, F_GET_SEALS);
    if (seals < 0 || (seals & kSeals) != kSeals)
        failMalformed("the pixels are not sealed");
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || std::uint64_t(st.st_size) != bytes)
        failMalformed("the pixels do not fill the picture");
}

} // namespace

Bitmap pictureOfReply(std::span<const unsigned char> message, UniqueFd pixels, const Request& request)
{
    ReplyHeader header;
    if (message.size() < sizeof header)
        failMalformed("too short");
    std::memcpy(&header, message.data(), sizeof header);
    if (header.magic != kReplyMagic)
        failMalformed("not an answer of this program's decoder");
    if (header.status == ReplyStatus::Failure)
        failAsTold(header, message, bool(pixels));
    if (header.status != ReplyStatus::Picture)
        failMalformed("an unknown status");
    if (message.size() != sizeof header)
        failMalformed("the length of a picture's answer");
    if (!pixels)
        failMalformed("no pixels came with the picture");
    checkSize(header, request);
    const std::size_t bytes = std::size_t(header.width) * std::size_t(header.height) * 4;
    checkPixelStore(pixels.get(), bytes);
    // Mapped read-only and populated here, on the thread that asked, so that whoever shows the
    // picture meets no page faults; then made writable, privately: the program may draw on the
    // picture, and a page it writes is copied then, while the rest stay the memfd's own. (A
    // writable mapping populated at once would copy every page.)
    void* mapping = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_POPULATE, pixels.get(), 0);
    if (mapping == MAP_FAILED)
        throw PictureError::fromErrno(errno);
    Bitmap picture = Bitmap::adoptMapping(header.width, header.height, mapping, bytes);
    if (::mprotect(mapping, bytes, PROT_READ | PROT_WRITE) != 0)
        throw PictureError::fromErrno(errno);
    return picture;
}

} // namespace lmvo::decoder
