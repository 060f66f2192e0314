#include "decoder/DecoderClient.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <dlfcn.h>
#include <unistd.h>

namespace lmvo {
namespace {

namespace fs = std::filesystem;

bool runnable(const fs::path& path) { return ::access(path.c_str(), X_OK) == 0; }

// The file this code was loaded from: the control's shared library when it is linked into
// one (whose users may be anywhere), else the program itself.
fs::path thisModule()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&decoderProgram), &info) == 0 || !info.dli_fname)
        return {};
    std::error_code error;
    const fs::path module = fs::canonical(info.dli_fname, error);
    return error ? fs::path() : module;
}

} // namespace

std::string decoderProgram()
{
    if (const char* chosen = std::getenv("LMVO_DECODER"); chosen && *chosen)
        return chosen;
    // The library installed in a prefix of its own finds the process installed with it.
    const fs::path module = thisModule();
    if (!module.empty()) {
        const fs::path besideLibrary = module.parent_path() / LMVO_DECODER_FROM_LIBRARY / "lmvo-decode";
        if (runnable(besideLibrary))
            return besideLibrary.lexically_normal();
    }
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const fs::path here = self.parent_path();
    for (const fs::path& candidate : {here / "lmvo-decode", here / ".." / "libexec" / "lumivo" / "lmvo-decode"})
        if (!error && runnable(candidate))
            return candidate.lexically_normal();
    // A program or library of this build, run from its build tree, uses the build's own decoder.
    const fs::path built = LMVO_DECODER_BUILT;
    const std::string buildTree = std::string(LMVO_BUILD_TREE) + '/';
    const bool inBuildTree = (!error && self.string().starts_with(buildTree)) || module.string().starts_with(buildTree);
    if (inBuildTree && runnable(built))
        return built;
    return LMVO_DECODER_INSTALLED;
}

} // namespace lmvo
