#pragma once

#include "base/UniqueFd.h"
#include "decoder/Protocol.h"
#include "raster/Bitmap.h"

#include <string>

namespace lmvo::decoder {

// The answer to one request, as the decoder process sends it back.
struct Answer {
    ReplyHeader header;
    std::string detail;  // a failure's detail, at most kMaxDetailBytes
    UniqueFd pixels;     // for a picture: its rows in a sealed memfd
};

// A copy of a picture's rows in a memfd, not sealed yet. Throws PictureError.
[[nodiscard]] UniqueFd sealedPixels(const Bitmap& picture);

// The decoder process's work for one request, the same in the process and in the fuzz targets:
// reads the picture from `file`, decodes it as `request` asks with the picture layer, and puts
// its rows into a memfd sealed against any change. Every failure becomes an answer.
[[nodiscard]] Answer answerRequest(const Request& request, int file);

} // namespace lmvo::decoder
