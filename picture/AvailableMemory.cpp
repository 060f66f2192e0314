#include "picture/PictureSize.h"

#include <fstream>
#include <string>

namespace lmvo {

// In a file of its own, so that a fuzz target can link its own figure instead.
std::uint64_t availableMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key, unit;
    std::uint64_t kib = 0;
    while (meminfo >> key >> kib) {
        if (key == "MemAvailable:")
            return kib * 1024;
        std::getline(meminfo, unit);
    }
    return 0;
}

} // namespace lmvo
