#include "decoder/SharedPixels.h"

#include <map>
#include <mutex>

#include <sys/mman.h>
#include <unistd.h>

namespace lmvo::decoder {
namespace {

// The memfd of every mapping the allocator handed out and still owns.
struct Stores {
    std::mutex mutex;
    std::map<const std::uint32_t*, int> fds;
};

Stores& stores()
{
    static Stores s;
    return s;
}

std::uint32_t* allocate(std::size_t bytes)
{
    UniqueFd fd(::memfd_create("lmvo-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!fd || ::ftruncate(fd.get(), off_t(bytes)) != 0)
        return nullptr;
    void* mapping = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (mapping == MAP_FAILED)
        return nullptr;
    auto* pixels = static_cast<std::uint32_t*>(mapping);
    const std::lock_guard lock(stores().mutex);
    stores().fds.emplace(pixels, fd.release());
    return pixels;
}

void release(std::uint32_t* pixels, std::size_t bytes)
{
    ::munmap(pixels, bytes);
    const std::lock_guard lock(stores().mutex);
    if (const auto it = stores().fds.find(pixels); it != stores().fds.end()) {
        ::close(it->second);
        stores().fds.erase(it);
    }
}

constexpr PixelAllocator kShared{allocate, release};

} // namespace

const PixelAllocator& sharedPixelAllocator() { return kShared; }

UniqueFd takePixelStore(const std::uint32_t* pixels)
{
    const std::lock_guard lock(stores().mutex);
    const auto it = stores().fds.find(pixels);
    if (it == stores().fds.end())
        return UniqueFd();
    UniqueFd fd(it->second);
    stores().fds.erase(it);
    return fd;
}

} // namespace lmvo::decoder
