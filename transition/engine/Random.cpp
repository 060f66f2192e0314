#include <lumivo/Random.h>

namespace lmvo {

Random& processRandom()
{
    static Random generator;
    return generator;
}

} // namespace lmvo
