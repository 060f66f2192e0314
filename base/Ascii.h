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

} // namespace lmvo
