#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace lmvo::test {

// A test name made of a text that describes the case: letters and digits stay, a minus sign
// before a number becomes "minus" and a plus "plus", and every other run of characters one
// underscore, since a test name may hold nothing else: "(0,0,10,10) & (5,-5,20,20)" becomes
// "0_0_10_10_5_minus5_20_20", "16x-11" "16xminus11", "big-endian" "big_endian".
inline std::string testName(std::string_view text)
{
    std::string name;
    bool gap = false;
    const auto put = [&](std::string_view word) {
        if (gap && !name.empty())
            name += '_';
        gap = false;
        name += word;
    };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool sign = (i == 0 || !digit(text[i - 1])) && i + 1 < text.size() && digit(text[i + 1]);
        if (digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            put(std::string_view(&c, 1));
        else if (c == '-' && sign)
            put("minus");
        else if (c == '+')
            put("plus");
        else
            gap = true;
    }
    return name.empty() ? "empty" : name;
}

// Names each case after its parameter as PrintTo writes it: for INSTANTIATE_TEST_SUITE_P.
struct PrintedName {
    template <typename T>
    std::string operator()(const testing::TestParamInfo<T>& info) const
    {
        return testName(testing::PrintToString(info.param));
    }
};

} // namespace lmvo::test
