// Replays a fuzz target's inputs once each, in a fixed order, without libFuzzer: the seeds and the
// saved findings, so that the tests give the same answer on every run. Each input gets the caps
// an exploratory run gives it (10 s, 2 GB resident); an input over either is a fault, reported
// with its file name, like a crash.
//
//   replay_TARGET FOLDER_OR_FILE...     every regular file below each folder, sorted by path
#include "base/Clock.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

constexpr std::int64_t kTimeLimitMs = 10'000;
constexpr std::int64_t kRssLimitMb = 2048;
constexpr auto kWatchEvery = std::chrono::milliseconds(50);

std::int64_t residentMb()
{
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE) >> 20;
}

// Watches the input under way from a thread of its own and ends the process when it goes over
// a cap: a runaway input must not take the machine with it before it returns.
class Watchdog {
public:
    Watchdog() : thread_([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void begin(const std::string& input)
    {
        const std::lock_guard lock(mutex_);
        input_ = input;
        started_ = lmvo::nowMs();
    }

private:
    void watch()
    {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, kWatchEvery, [this] { return done_; })) {
            const std::int64_t rss = residentMb();
            const std::int64_t ms = lmvo::nowMs() - started_;
            if (rss > kRssLimitMb || ms > kTimeLimitMs) {
                std::fprintf(stderr, "FAULT: %s took %lld ms and %lld MB (caps: %lld ms, %lld MB)\n",
                             input_.c_str(), static_cast<long long>(ms), static_cast<long long>(rss),
                             static_cast<long long>(kTimeLimitMs), static_cast<long long>(kRssLimitMb));
                std::_Exit(1);
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::string input_ = "(starting)";
    std::int64_t started_ = lmvo::nowMs();
    std::thread thread_;
};

std::vector<std::filesystem::path> inputsOf(int argc, char** argv)
{
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path at(argv[i]);
        if (std::filesystem::is_directory(at)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(at))
                if (e.is_regular_file())
                    inputs.push_back(e.path());
        } else if (std::filesystem::exists(at)) {
            inputs.push_back(at);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    const std::vector<std::filesystem::path> inputs = inputsOf(argc, argv);
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    Watchdog watchdog;
    for (const auto& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        watchdog.begin(input.string());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
