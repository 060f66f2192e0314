#pragma once

// The one entry through which the program decodes picture files: every decode runs in a
// decoder process (lmvo-decode) that runs the picture layer under hard limits and a system-call
// filter, so that a hostile or broken file can cost that process, never the program. The file
// is opened here (regular files only, without waiting) and its descriptor passed on; the pixels
// come back in sealed shared memory, mapped without a copy.
//
// One process serves many pictures in a row, and a fresh one is started ahead whenever one
// ended, so that starting stays off a show's tick. A decode that is cancelled, or that runs over
// its time, ends with SIGKILL to its process at once: nothing ever waits inside a codec.

#include "picture/DisplaySize.h"
#include "picture/PictureError.h"
#include "raster/Bitmap.h"

#include <stop_token>
#include <string>

namespace lmvo {

// Decodes the file at `path` (native bytes) at its full size. Throws PictureError naming the
// file: the picture layer's reasons, and also a decoder process that died, ran out of its
// memory or time, or answered nonsense.
[[nodiscard]] Bitmap decodeFile(const std::string& path);
// Decodes it at exactly size.width x size.height. A stop requested through `stop` kills the
// decode at once and throws PictureCancelled.
[[nodiscard]] Bitmap decodeFileAt(const std::string& path, const DisplaySize& size, std::stop_token stop = {});

// Starts a decoder process now when none is waiting, so that the first picture does not wait
// for one to start.
void startDecoderAhead();

// The decoder program to start from now on; empty finds lmvo-decode as decoderProgram() says.
// Processes waiting are ended. For tests.
void setDecoderProgram(const std::string& path);

// Where lmvo-decode is: $LMVO_DECODER when set; else where it is installed relative to the
// control's library that holds this code (libexec/lumivo of the library's prefix); else beside
// the running program, or in ../libexec/lumivo from it (an installed layout); else where this
// build put it, for a program or library run from the build tree; else where it is installed.
[[nodiscard]] std::string decoderProgram();

} // namespace lmvo
