#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace lmvo {

// Why a picture cannot be shown, as a user reads it first.
enum class PictureProblem : std::uint8_t {
    Damaged,     // the decoder refused the content: damaged, or another format under this name
    Removed,     // the file is gone
    Unreadable,  // no permission, or the system could not read it
    NotAFile,    // a folder, a device or a pipe
    UnknownType, // no decoder takes files with this extension
    Unsupported, // a kind of picture this system cannot draw
    TooLarge,    // beyond what can be shown
    NoMemory,    // not enough memory to show it
    TooCostly,   // decoding it would cost more memory or time than one picture may
    DecoderStopped, // the decoder process ended without an answer (crashed, say)
    NotShown,    // anything else
};

// A picture that could not be loaded, as data: the problem, the file (once `about` has named
// it), the format the decoder expected, and the detail (the library's or the system's own
// words, or the numbers behind a limit). The text a user reads is built from these where the
// box is made, in the user's language. `what()` is a plain English line for logs and tools:
// "<reason>: "<file>" (<detail>)" once the file is named, the detail before.
class PictureError : public std::runtime_error {
public:
    // `format` names the format the decoder expected ("JPEG"), for a damaged file.
    explicit PictureError(const std::string& detail, PictureProblem problem = PictureProblem::Damaged,
                          std::string format = {});
    // The failure of a system call on the file, by its errno.
    [[nodiscard]] static PictureError fromErrno(int error);

    // `expected` names the format a damaged file should have been in ("PNG") when the decoder
    // did not say.
    [[nodiscard]] PictureError about(const std::string& file, const std::string& expected = {}) const;

    [[nodiscard]] PictureProblem problem() const { return problem_; }
    [[nodiscard]] const std::string& detail() const { return detail_; }
    [[nodiscard]] const std::string& format() const { return format_; }
    [[nodiscard]] const std::string& file() const { return file_; } // native bytes

private:
    PictureError(const std::string& text, PictureProblem problem, std::string detail, std::string format,
                 std::string file);

    PictureProblem problem_;
    std::string detail_;
    std::string format_;
    std::string file_;
};

// A load given up because its caller no longer wants the picture (a show that closed, say).
// Not a failure: nothing is reported.
class PictureCancelled : public std::exception {
public:
    [[nodiscard]] const char* what() const noexcept override { return "picture load cancelled"; }
};

} // namespace lmvo
