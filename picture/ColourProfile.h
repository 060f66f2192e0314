#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace lmvo {

// How the pixels handed to a ColourTransform are stored.
enum class StoredColour : std::uint8_t {
    Rgb,          // x8r8g8b8 words; a grey picture too, with its three channels equal
    Cmyk,         // four bytes C, M, Y, K per pixel, 0 meaning no ink
    InvertedCmyk, // the same with 0 meaning full ink, as Adobe's encoders store it
};

// Converts pixels described by an embedded ICC profile to sRGB with Little CMS, perceptual
// intent. Made once per picture, then applied row by row.
class ColourTransform {
public:
    // The transform for pixels stored as `stored` and described by `icc`, or nothing where
    // there is nothing to do or nothing sound to do: a profile that cannot be read, that is
    // not made for such pixels, or that describes sRGB itself. Never throws for a bad profile:
    // such a picture is shown as stored.
    [[nodiscard]] static std::optional<ColourTransform> toSrgb(std::span<const std::uint8_t> icc, StoredColour stored);

    // Converts `count` pixels from `in` (laid out as `stored`) into opaque x8r8g8b8 words.
    // `in` may be `out` itself when the pixels are stored as x8r8g8b8.
    void apply(const void* in, std::uint32_t* out, std::int32_t count) const;

private:
    struct Deleter {
        void operator()(void* transform) const;
    };
    explicit ColourTransform(void* transform) : transform_(transform) {}

    std::unique_ptr<void, Deleter> transform_;
};

} // namespace lmvo
