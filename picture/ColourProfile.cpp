#include "picture/ColourProfile.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <vector>

#include <lcms2.h>

namespace lmvo {
namespace {

// Little CMS reports a bad profile through a handler as well as through its return values; the
// return values are all we need, and nothing may reach a terminal. Our own context keeps this
// handler away from other users of the library in the process (libvips sets its own).
void ignoreLcmsError(cmsContext, cmsUInt32Number, const char*) {}

class Lcms {
public:
    Lcms() : context_(cmsCreateContext(nullptr, nullptr))
    {
        cmsSetLogErrorHandlerTHR(context_, ignoreLcmsError);
    }
    ~Lcms() { cmsDeleteContext(context_); }
    Lcms(const Lcms&) = delete;
    Lcms& operator=(const Lcms&) = delete;

    [[nodiscard]] cmsContext context() const { return context_; }

private:
    cmsContext context_;
};

cmsContext lcms()
{
    static const Lcms instance;
    return instance.context();
}

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// An x8r8g8b8 word in memory: B, G, R, X on a little-endian machine, X, R, G, B otherwise.
constexpr cmsUInt32Number kX8R8G8B8 = kLittleEndian ? TYPE_BGRA_8 : TYPE_ARGB_8;
// The same word read as grey: its blue byte, the other three skipped (they hold the same grey).
constexpr cmsUInt32Number kGreyX8R8G8B8 =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3) | SWAPFIRST_SH(kLittleEndian ? 0 : 1);

// The pixel layout Little CMS reads for `stored` pixels described by a profile of `space`;
// 0 where the profile does not describe such pixels (an RGB profile in a CMYK file, say).
// `space` is the header's signature as a number: a damaged profile may hold any value there,
// which the enumeration of signatures cannot carry.
cmsUInt32Number inputFormat(StoredColour stored, cmsUInt32Number space)
{
    switch (stored) {
    case StoredColour::Rgb:
        if (space == cmsSigRgbData)
            return kX8R8G8B8;
        return space == cmsSigGrayData ? kGreyX8R8G8B8 : 0;
    case StoredColour::Cmyk: return space == cmsSigCmykData ? TYPE_CMYK_8 : 0;
    case StoredColour::InvertedCmyk: return space == cmsSigCmykData ? TYPE_CMYK_8_REV : 0;
    }
    return 0;
}

// Colours that try a transform out: a grid through the RGB cube, or every grey.
std::vector<std::uint32_t> probeColours(bool grey)
{
    std::vector<std::uint32_t> probe;
    const auto word = [](std::uint32_t r, std::uint32_t g, std::uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; };
    if (grey) {
        for (std::uint32_t v = 0; v < 256; ++v)
            probe.push_back(word(v, v, v));
        return probe;
    }
    constexpr std::uint32_t kSteps[] = {0, 32, 64, 96, 128, 160, 192, 224, 255};
    for (std::uint32_t r : kSteps)
        for (std::uint32_t g : kSteps)
            for (std::uint32_t b : kSteps)
                probe.push_back(word(r, g, b));
    return probe;
}

// Whether a transform of x8r8g8b8 words leaves every colour as it is, give or take rounding:
// its profile describes sRGB, as most cameras' profiles do, and converting would only cost time.
bool keepsColours(cmsHTRANSFORM transform, bool grey)
{
    const std::vector<std::uint32_t> probe = probeColours(grey);
    std::vector<std::uint32_t> out(probe.size());
    cmsDoTransform(transform, probe.data(), out.data(), cmsUInt32Number(probe.size()));
    const auto near = [](std::uint32_t a, std::uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 1)
                return false;
        return true;
    };
    return std::ranges::equal(probe, out, near);
}

} // namespace

void ColourTransform::Deleter::operator()(void* transform) const
{
    cmsDeleteTransform(transform);
}

std::optional<ColourTransform> ColourTransform::toSrgb(std::span<const std::uint8_t> icc, StoredColour stored)
{
    const Profile in(cmsOpenProfileFromMemTHR(lcms(), icc.data(), cmsUInt32Number(icc.size())));
    if (!in)
        return std::nullopt;
    const cmsUInt32Number format = inputFormat(stored, cmsUInt32Number(cmsGetColorSpace(in.get())));
    if (format == 0)
        return std::nullopt;
    const Profile srgb(cmsCreate_sRGBProfileTHR(lcms()));
    if (!srgb)
        return std::nullopt;
    ColourTransform transform(cmsCreateTransformTHR(lcms(), in.get(), format, srgb.get(), kX8R8G8B8, INTENT_PERCEPTUAL, 0));
    if (!transform.transform_ || (stored == StoredColour::Rgb && keepsColours(transform.transform_.get(), format == kGreyX8R8G8B8)))
        return std::nullopt;
    return transform;
}

void ColourTransform::apply(const void* in, std::uint32_t* out, std::int32_t count) const
{
    if (count <= 0)
        return;
    // Little CMS reads each pixel whole before it writes it, so converting in place is safe.
    cmsDoTransform(transform_.get(), in, out, cmsUInt32Number(count));
    // It leaves the unused byte alone: set it as every stored pixel needs it.
    for (std::int32_t i = 0; i < count; ++i)
        out[i] |= 0xFF000000u;
}

} // namespace lmvo
