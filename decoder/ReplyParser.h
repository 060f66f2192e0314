#pragma once

#include "base/UniqueFd.h"
#include "decoder/Protocol.h"
#include "raster/Bitmap.h"

#include <cstddef>
#include <span>

namespace lmvo::decoder {

// The picture a reply message brings for `request`, its pixels mapped from the memfd that came
// with it (without a copy: the pages are shared with the child's until written to, and the
// seals keep the child from changing them). A reply telling of a failure throws that
// PictureError (without the file name); a reply that breaks the protocol in any way (a size,
// a seal, a field out of range, a missing or extra descriptor) throws PictureError with
// PictureProblem::DecoderStopped: the parent trusts nothing a child says unchecked.
[[nodiscard]] Bitmap pictureOfReply(std::span<const unsigned char> message, UniqueFd pixels, const Request& request);

} // namespace lmvo::decoder
