#include "decoder/DecoderClient.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace lmvo {
namespace {

namespace fs = std::filesystem;

bool runnable(const fs::path& path) { return ::access(path.c_str(), X_OK) == 0; }

} // namespace

std::string decoderProgram()
{
    if (const char* chosen = std::getenv("LMVO_DECODER"); chosen && *chosen)
        return chosen;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const fs::path here = self.parent_path();
    for (const fs::path& candidate : {here / "lmvo-decode", here / ".." / "libexec" / "lumivo" / "lmvo-decode"})
        if (!error && runnable(candidate))
            return candidate.lexically_normal();
    // A program of this build, run from its build tree, uses the build's own decoder.
    const fs::path built = LMVO_DECODER_BUILT;
    const std::string buildTree = LMVO_BUILD_TREE;
    if (!error && self.string().starts_with(buildTree + '/') && runnable(built))
        return built;
    return LMVO_DECODER_INSTALLED;
}

} // namespace lmvo
