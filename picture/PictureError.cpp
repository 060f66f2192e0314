#include "picture/PictureError.h"

#include <cerrno>
#include <system_error>

namespace lmvo {
namespace {

// The reasons in plain English, for logs and tools; a user reads them in a box in the user's
// language.
std::string englishReason(PictureProblem problem, const std::string& format)
{
    switch (problem) {
    case PictureProblem::Damaged:
        return format.empty() ? "The file is damaged or is not a picture"
                              : "The file is damaged or is not a " + format + " picture";
    case PictureProblem::Removed: return "The file was removed";
    case PictureProblem::Unreadable: return "The file cannot be read";
    case PictureProblem::NotAFile: return "This is a folder or a device, not a file";
    case PictureProblem::UnknownType: return "Files of this type cannot be shown";
    case PictureProblem::Unsupported: return "Pictures of this kind cannot be shown";
    case PictureProblem::TooLarge: return "The picture is too large to show";
    case PictureProblem::NoMemory: return "There is not enough memory to show the picture";
    case PictureProblem::TooCostly: return "The picture is too large or too damaged to show";
    case PictureProblem::DecoderStopped: return "The picture's decoder stopped";
    case PictureProblem::NotShown: break;
    }
    return "The picture cannot be shown";
}

std::string line(PictureProblem problem, const std::string& detail, const std::string& format,
                 const std::string& file)
{
    std::string text = englishReason(problem, format) + ": \"" + file + "\"";
    if (!detail.empty())
        text += " (" + detail + ")";
    return text;
}

PictureProblem problemOfErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return PictureProblem::Removed;
    case ENOMEM: return PictureProblem::NoMemory;
    case EISDIR:
    case ENXIO:
    case ENODEV: return PictureProblem::NotAFile;
    default: return PictureProblem::Unreadable;
    }
}

} // namespace

PictureError::PictureError(const std::string& detail, PictureProblem problem, std::string format)
    : PictureError(detail, problem, detail, std::move(format), {})
{
}

PictureError::PictureError(const std::string& text, PictureProblem problem, std::string detail, std::string format,
                           std::string file)
    : std::runtime_error(text), problem_(problem), detail_(std::move(detail)), format_(std::move(format)),
      file_(std::move(file))
{
}

PictureError PictureError::fromErrno(int error)
{
    return PictureError(std::error_code(error, std::generic_category()).message(), problemOfErrno(error));
}

PictureError PictureError::about(const std::string& file, const std::string& expected) const
{
    const std::string& format = format_.empty() ? expected : format_;
    return {line(problem_, detail_, format, file), problem_, detail_, format, file};
}

} // namespace lmvo
