#include "show/PicturePreloader.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace lmvo {
namespace {

// A load that a file system holds (a stalled network folder): it ignores every stop until the
// test opens the gate.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
};

TEST(PicturePreloader, ClosingDoesNotWaitForAWorkerHeldInTheFileSystem)
{
    const auto gate = std::make_shared<Gate>();
    setPictureLoader([gate](const std::string&, const DisplaySize&, std::stop_token) {
        std::unique_lock lock(gate->mutex);
        gate->entered = true;
        gate->changed.notify_all();
        gate->changed.wait(lock, [&] { return gate->open; });
        return Bitmap(1, 1);
    });
    auto preloader = std::make_unique<PicturePreloader>();
    setPictureLoader({});
    preloader->prepare({0, "held.jpg", {4, 4}});
    {
        std::unique_lock lock(gate->mutex);
        gate->changed.wait(lock, [&] { return gate->entered; });
    }
    preloader.reset(); // returns while the load is still held
    {
        const std::lock_guard lock(gate->mutex);
        EXPECT_FALSE(gate->open);
        gate->open = true;
    }
    // Released, the worker ends by itself, touching only what it shares (the sanitizers watch).
    gate->changed.notify_all();
}

} // namespace
} // namespace lmvo
