#pragma once

#include "raster/Rect.h"
#include "raster/Region.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace lmvo {

// A colour as 0x00RRGGBB.
using Color = std::uint32_t;

// A stored pixel: x8r8g8b8 with the unused byte set, so Qt's RGB32 images can wrap the rows.
[[nodiscard]] constexpr std::uint32_t pixelOf(Color c) { return 0xFF000000u | (c & 0xFFFFFFu); }
[[nodiscard]] constexpr Color colorOf(std::uint32_t pixel) { return pixel & 0xFFFFFFu; }

// Where the pixels of new bitmaps come from: new[] unless a process puts in its own (the decoder
// process takes them from shared memory that it can hand over without a copy). `allocate`
// returns memory for `bytes`, or nullptr to leave it to new[]; `release` gives it back.
struct PixelAllocator {
    std::uint32_t* (*allocate)(std::size_t bytes);
    void (*release)(std::uint32_t* pixels, std::size_t bytes);
};

// Frees a bitmap's pixels: through the allocator that gave them, by unmapping them when they
// came as a mapping, else with delete[]; the rows of a wrapped bitmap are someone else's and
// stay.
struct BitmapPixelRelease {
    std::size_t mappedBytes = 0; // of a mapping, or of the allocator's memory
    bool borrowed = false;
    const PixelAllocator* allocator = nullptr;
    void operator()(std::uint32_t* pixels) const;
};

// A 24-bit colour raster stored as 32-bit rows, with the state of its drawing canvas
// (brush colour and clip region). Copies are explicit (clone) since a bitmap may hold
// tens of megabytes; allocation failure throws std::bad_alloc.
//
// Every drawing operation is clipped to the bitmap and to the canvas's clip region.
class Bitmap {
public:
    Bitmap() = default;
    // A new bitmap is black.
    Bitmap(std::int32_t width, std::int32_t height);
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    // A moved-from bitmap is empty (0 x 0), never a size without pixels.
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    ~Bitmap() = default;

    // A bitmap whose pixels are `bytes` of memory mapped with mmap (width * height * 4 of them
    // are the rows), unmapped when the bitmap lets them go. The mapping must be writable (a
    // private one will do: drawing then copies the pages it touches).
    [[nodiscard]] static Bitmap adoptMapping(std::int32_t width, std::int32_t height, void* mapping, std::size_t bytes);
    // A bitmap over rows it does not own (`width` pixels a row, top byte set, as an RGB32
    // image keeps them): `owner` keeps them alive as long as the bitmap needs them. Only for
    // reading: nothing may draw on it (it may share the rows with others).
    [[nodiscard]] static Bitmap wrap(std::int32_t width, std::int32_t height, const std::uint32_t* rows,
                                     std::shared_ptr<const void> owner);
    // The allocator of every bitmap's pixels from now on (none: new[]). It must outlive them.
    static void setPixelAllocator(const PixelAllocator* allocator);

    [[nodiscard]] Bitmap clone() const;
    // Back to the state of a new bitmap of this size (black, white brush, no clip), keeping
    // its memory.
    void renew();

    [[nodiscard]] std::int32_t width() const { return width_; }
    [[nodiscard]] std::int32_t height() const { return height_; }
    [[nodiscard]] bool isEmpty() const { return width_ <= 0 || height_ <= 0; }
    [[nodiscard]] Rect bounds() const { return Rect{0, 0, width_, height_}; }

    // Rows are contiguous: stride is the width, in pixels.
    [[nodiscard]] std::uint32_t* bits() { return pixels_.get(); }
    [[nodiscard]] const std::uint32_t* bits() const { return pixels_.get(); }
    [[nodiscard]] std::uint32_t* scanLine(std::int32_t y) { return pixels_.get() + std::size_t(y) * width_; }
    [[nodiscard]] const std::uint32_t* scanLine(std::int32_t y) const
    {
        return pixels_.get() + std::size_t(y) * width_;
    }
    [[nodiscard]] Color pixel(std::int32_t x, std::int32_t y) const { return colorOf(scanLine(y)[x]); }
    void setPixel(std::int32_t x, std::int32_t y, Color c) { scanLine(y)[x] = pixelOf(c); }

    // Keeps the old content at the top left and fills new area with the brush colour.
    // Resizing to the current size costs nothing. Negative sizes count as 0.
    void setSize(std::int32_t width, std::int32_t height);
    void setWidth(std::int32_t width) { setSize(width, height_); }
    void setHeight(std::int32_t height) { setSize(width_, height); }

    // --- canvas ---
    [[nodiscard]] Color brushColor() const { return brush_; }
    void setBrushColor(Color c) { brush_ = c; }

    void fillRect(const Rect& r, Color c);
    // Draws `src` unscaled with its top-left corner at (x, y).
    void draw(std::int32_t x, std::int32_t y, const Bitmap& src);
    // Draws the whole of `src` stretched onto `dst`.
    void stretchDraw(const Rect& dst, const Bitmap& src);
    // CopyRect: `srcRect` of `src` stretched onto `dst` (nearest source pixel).
    void copyRect(const Rect& dst, const Bitmap& src, const Rect& srcRect);
    // StretchBlt with origins and extents. A negative destination extent mirrors along that
    // axis: origin X with extent -N covers X - N + 1 ... X. The mapping is defined by the
    // unclipped rectangles; destination pixels whose source lies outside `src` are left as
    // they are. Zero extents (or a non-positive source extent) copy nothing.
    void stretchBlt(std::int32_t dx, std::int32_t dy, std::int32_t dw, std::int32_t dh, const Bitmap& src,
                    std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh);

    // ExtSelectClipRgn(RGN_AND): without a clip the surface counts as the whole, so the
    // first call yields `region` itself.
    void intersectClip(const Region& region);
    // SelectClipRgn(none).
    void removeClip() { clip_.reset(); }
    [[nodiscard]] const std::optional<Region>& clip() const { return clip_; }

private:
    // stretchBlt with 64-bit extents, so that rectangles spanning more than 2^31 pixels work.
    void stretchCopy(std::int64_t dx, std::int64_t dy, std::int64_t dw, std::int64_t dh, const Bitmap& src,
                     std::int64_t sx, std::int64_t sy, std::int64_t sw, std::int64_t sh);

    using Pixels = std::unique_ptr<std::uint32_t[], BitmapPixelRelease>;
    [[nodiscard]] static Pixels allocatePixels(std::int32_t width, std::int32_t height);

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    Pixels pixels_;
    std::shared_ptr<const void> owner_; // keeps the rows of a wrapped bitmap
    Color brush_ = 0xFFFFFF;
    std::optional<Region> clip_;
};

} // namespace lmvo
