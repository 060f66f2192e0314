#pragma once

#include <exception>
#include <stdexcept>

namespace lmvo {

// A picture that could not be loaded: the text says why, in words a user can act on.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A load given up because its caller no longer wants the picture (a show that closed, say).
// Not a failure: nothing is reported.
class PictureCancelled : public std::exception {
public:
    [[nodiscard]] const char* what() const noexcept override { return "picture load cancelled"; }
};

} // namespace lmvo
