#pragma once

#include <string>
#include <string_view>

namespace lmvo {

// Lower case for A-Z only. File names are bytes, and extension tests must not depend on the
// locale (std::tolower) or on Unicode tables (QString::toLower).
[[nodiscard]] constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

[[nodiscard]] inline std::string asciiLower(std::string_view s)
{
    std::string lower(s);
    for (char& c : lower)
        c = asciiLower(c);
    return lower;
}

// Upper case for a-z only, for the same reasons.
[[nodiscard]] inline std::string asciiUpper(std::string_view s)
{
    std::string upper(s);
    for (char& c : upper)
        c = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    return upper;
}

} // namespace lmvo
