#include "show/ShowOrder.h"

#include <lumivo/Random.h>

#include <numeric>
#include <utility>

namespace lmvo {

ShowOrder::ShowOrder(std::size_t count, bool shuffle, Random& random)
    : count_(count), shuffle_(shuffle && count > 1), random_(&random)
{
    if (shuffle_)
        current_ = drawPass(count_);
}

std::size_t ShowOrder::at(std::size_t position, bool nextPass)
{
    if (!shuffle_)
        return position;
    if (!nextPass)
        return current_[position];
    if (next_.empty())
        next_ = drawPass(current_.back());
    return next_[position];
}

void ShowOrder::beginNextPass()
{
    if (!shuffle_)
        return;
    if (next_.empty())
        next_ = drawPass(current_.back());
    current_ = std::exchange(next_, {});
}

// Fisher-Yates from the process's generator; a pass that would begin with `avoidFirst` swaps
// its first picture with another drawn at random.
std::vector<std::size_t> ShowOrder::drawPass(std::size_t avoidFirst)
{
    std::vector<std::size_t> pass(count_);
    std::iota(pass.begin(), pass.end(), std::size_t{0});
    for (std::size_t i = count_ - 1; i > 0; --i)
        std::swap(pass[i], pass[random_->draw(std::uint32_t(i + 1))]);
    if (pass.front() == avoidFirst)
        std::swap(pass.front(), pass[1 + random_->draw(std::uint32_t(count_ - 1))]);
    return pass;
}

} // namespace lmvo
