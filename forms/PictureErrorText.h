#pragma once

#include "picture/PictureError.h"

#include <QString>

namespace lmvo {

// What a user reads about a picture that cannot be shown, in the user's language: the plain
// reason first, then the file in straight quotes, then the library's or the system's own words.
[[nodiscard]] QString pictureErrorText(const PictureError& error);

} // namespace lmvo
