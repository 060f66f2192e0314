#pragma once

#include "base/UniqueFd.h"
#include "raster/Bitmap.h"

#include <cstdint>

namespace lmvo::decoder {

// Pixels of the decoder process's bitmaps, each in a memfd of its own mapped shared, so that the
// picture a request is answered with goes over as it lies, without a copy. Set it with
// Bitmap::setPixelAllocator.
[[nodiscard]] const PixelAllocator& sharedPixelAllocator();

// The memfd holding `pixels` when the shared allocator gave them, from now on the caller's; the
// bitmap still holds its mapping, which must go before the memfd can be sealed. None otherwise.
[[nodiscard]] UniqueFd takePixelStore(const std::uint32_t* pixels);

} // namespace lmvo::decoder
