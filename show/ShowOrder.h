#pragma once

#include <cstddef>
#include <vector>

namespace lmvo {

class Random;

// The order in which a show walks through its list, pass after pass: as listed, or shuffled
// afresh for every pass, with no picture twice within a pass and never the last picture of one
// pass first in the next. The pass after the current one is drawn when it is first looked at
// and kept, so whoever looks ahead (the picture prepared for the next tick) sees the order the
// show will take.
class ShowOrder {
public:
    ShowOrder(std::size_t count, bool shuffle, Random& random);

    [[nodiscard]] std::size_t count() const { return count_; }
    // The list index at `position` (< count) of the current pass, or of the pass after it.
    [[nodiscard]] std::size_t at(std::size_t position, bool nextPass = false);
    // The pass after the current one becomes the current one.
    void beginNextPass();

private:
    [[nodiscard]] std::vector<std::size_t> drawPass(std::size_t avoidFirst);

    std::size_t count_;
    bool shuffle_;
    Random* random_;
    std::vector<std::size_t> current_; // empty when not shuffled
    std::vector<std::size_t> next_;    // empty until looked at
};

} // namespace lmvo
