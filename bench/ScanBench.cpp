// How long a picture scan of a large tree takes next to `find` listing the same tree's files:
// 100 000 files in 1 000 folders (10 000 in 100 when LMVO_BENCH_SHORT is set). Both walks run
// on a warm cache, in the same process run, and the ratio is reported.

#include "bench/Baseline.h"
#include "scan/FolderScan.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lmvo {
namespace {

// The tree: groups of folders, each folder holding mostly pictures with some upper-case and
// some foreign extensions, so the extension test has work of every kind. Removed at exit.
class BenchTree {
public:
    BenchTree()
    {
        const bool short_ = std::getenv("LMVO_BENCH_SHORT") != nullptr;
        std::string pattern = (std::filesystem::temp_directory_path() / "lmvo-scanbench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
        const int groups = 10, foldersPerGroup = short_ ? 10 : 100, filesPerFolder = 100;
        for (int g = 0; g < groups; ++g)
            for (int f = 0; f < foldersPerGroup; ++f)
                makeFolder(g, f, filesPerFolder);
    }
    BenchTree(const BenchTree&) = delete;
    BenchTree& operator=(const BenchTree&) = delete;
    ~BenchTree()
    {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    [[nodiscard]] const std::string& root() const { return root_; }
    [[nodiscard]] std::size_t files() const { return files_; }

private:
    void makeFolder(int group, int folder, int count)
    {
        const std::string dir = root_ + "/group" + std::to_string(group) + "/album" + std::to_string(folder);
        std::filesystem::create_directories(dir);
        for (int i = 0; i < count; ++i) {
            const char* ext = i % 20 == 0 ? ".txt" : i % 20 == 1 ? ".JPG" : ".jpg";
            const std::string name = dir + "/IMG_" + std::to_string(10000 + i) + ext;
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0)
                throw std::runtime_error("cannot create " + name);
            ::close(fd);
            ++files_;
        }
    }

    std::string root_;
    std::size_t files_ = 0;
};

const BenchTree& tree()
{
    static const BenchTree t;
    return t;
}

std::size_t scanOnce()
{
    StringList list;
    ScanPictureFiles(tree().root(), list);
    benchmark::DoNotOptimize(list.data());
    return list.size();
}

// `find DIR -type f` in a child process with its output thrown away, as a user would time it.
void findOnce()
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string root = tree().root();
    char find[] = "find", type[] = "-type", f[] = "f";
    char* argv[] = {find, root.data(), type, f, nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, "find", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start find");
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("find failed");
}

void BM_ScanPictureFiles(benchmark::State& state)
{
    std::size_t found = 0;
    for (auto _ : state)
        found = scanOnce();
    state.counters["files"] = double(tree().files());
    state.counters["found"] = double(found);
    state.SetItemsProcessed(state.iterations() * std::int64_t(tree().files()));
}
BENCHMARK(BM_ScanPictureFiles)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_FindTypeF(benchmark::State& state)
{
    for (auto _ : state)
        findOnce();
    state.SetItemsProcessed(state.iterations() * std::int64_t(tree().files()));
}
// Real time: the walk happens in the child, so this process uses next to no CPU time.
BENCHMARK(BM_FindTypeF)->UseRealTime()->Unit(benchmark::kMillisecond);

// The ratio the scan is judged by: its median time over find's, measured back to back. Also
// against the baseline every benchmark reports: a memcpy of the bytes of the listed paths.
void BM_ScanOverFind(benchmark::State& state)
{
    const int reps = std::getenv("LMVO_BENCH_SHORT") ? 3 : 9;
    double scan = 0, find = 0;
    for (auto _ : state) {
        scan = bench::medianSeconds([] { scanOnce(); }, reps);
        find = bench::medianSeconds([] { findOnce(); }, reps);
    }
    StringList list;
    ScanPictureFiles(tree().root(), list);
    std::size_t bytes = 0;
    for (const std::string& p : list)
        bytes += p.size();
    state.counters["scan_ms"] = scan * 1e3;
    state.counters["find_ms"] = find * 1e3;
    state.counters["scan_over_find"] = scan / find;
    state.counters["scan_over_memcpy"] = scan / bench::memcpySeconds(bytes);
}
BENCHMARK(BM_ScanOverFind)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace lmvo

// The tree is built before the first measurement, so no benchmark times its making.
int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    (void)lmvo::tree();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
