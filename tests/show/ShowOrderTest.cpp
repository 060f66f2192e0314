// The order of a show's passes: each pass holds every picture once, a shuffled pass never begins
// with the picture the previous one ended with, and looking ahead sees the pass the show takes.
#include "show/ShowOrder.h"

#include <lumivo/Random.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

namespace lmvo {
namespace {

struct OrderCase {
    std::size_t count;
    bool shuffle;
};

class ShowOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(ShowOrderTest, EveryPassHoldsEveryPictureOnceAndLookingAheadSeesTheNextPass)
{
    const auto [count, shuffle] = GetParam();
    Random random(12345);
    ShowOrder order(count, shuffle, random);
    std::vector<std::size_t> identity(count);
    std::iota(identity.begin(), identity.end(), std::size_t{0});
    std::vector<std::size_t> previous;
    bool anyShuffled = false;
    for (int pass = 0; pass < 40; ++pass) {
        std::vector<std::size_t> seen;
        for (std::size_t p = 0; p < count; ++p)
            seen.push_back(order.at(p));
        std::vector<std::size_t> ahead;
        for (std::size_t p = 0; p < count; ++p)
            ahead.push_back(order.at(p, true));

        std::vector<std::size_t> sorted = seen;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, identity) << "pass " << pass;
        if (!shuffle) {
            EXPECT_EQ(seen, identity);
        }
        if (count > 1 && !previous.empty()) {
            EXPECT_NE(seen.front(), previous.back()) << "pass " << pass;
        }
        anyShuffled = anyShuffled || seen != identity;
        previous = seen;

        order.beginNextPass();
        for (std::size_t p = 0; p < count; ++p)
            ASSERT_EQ(order.at(p), ahead[p]) << "pass " << pass + 1 << " position " << p;
    }
    EXPECT_EQ(anyShuffled, shuffle && count > 1);
}

INSTANTIATE_TEST_SUITE_P(Passes, ShowOrderTest,
                         ::testing::Values(OrderCase{1, false}, OrderCase{5, false}, OrderCase{1, true},
                                           OrderCase{2, true}, OrderCase{3, true}, OrderCase{17, true}),
                         [](const auto& info) {
                             return std::string(info.param.shuffle ? "Shuffled" : "Listed") +
                                    std::to_string(info.param.count);
                         });

} // namespace
} // namespace lmvo
