#include "decoder/Sandbox.h"

#include "picture/PictureSize.h"

#include <seccomp.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace lmvo::decoder {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr std::uint64_t kMaxAddressSpace = std::uint64_t(2) << 30;
// Processor seconds for one picture: a 100-megapixel HEIC takes a few on one core, and its
// decoder's threads add theirs. The sanitizers slow decoding several times.
constexpr rlim_t kCpuSecondsPerPicture = kSanitized ? 120 : 30;

// The address space mapped now (libraries, heap, stacks), in bytes.
std::uint64_t mappedNow()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    while (status >> key) {
        if (key == "VmSize:" && status >> kib)
            return kib * 1024;
        std::getline(status, unit);
    }
    return 0;
}

void limitAddressSpace()
{
    if (kSanitized)
        return;
    const std::uint64_t available = availableMemory();
    const std::uint64_t budget = available ? std::min(kMaxAddressSpace, available / 2) : kMaxAddressSpace;
    const auto ceiling = rlim_t(mappedNow() + budget);
    const rlimit limit{ceiling, ceiling};
    if (::setrlimit(RLIMIT_AS, &limit) != 0)
        std::perror("lmvo-decode: the address-space limit cannot be set");
}

struct FilterRelease {
    void operator()(scmp_filter_ctx filter) const { seccomp_release(filter); }
};
using Filter = std::unique_ptr<void, FilterRelease>;

// What the decoders, glib, libvips' threads, the C library and (in the test build) the
// sanitizers' runtimes call. Everything else kills the process.
constexpr int kAllowed[] = {
    SCMP_SYS(read), SCMP_SYS(write), SCMP_SYS(readv), SCMP_SYS(writev), SCMP_SYS(pread64),
    SCMP_SYS(pwrite64), SCMP_SYS(lseek), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(newfstatat),
    SCMP_SYS(statx), SCMP_SYS(stat), SCMP_SYS(lstat), SCMP_SYS(fstatfs), SCMP_SYS(statfs),
    SCMP_SYS(getdents64), SCMP_SYS(readlink), SCMP_SYS(readlinkat), SCMP_SYS(access),
    SCMP_SYS(faccessat), SCMP_SYS(faccessat2), SCMP_SYS(getcwd), SCMP_SYS(fadvise64),
    SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect), SCMP_SYS(madvise),
    SCMP_SYS(brk), SCMP_SYS(mincore), SCMP_SYS(membarrier),
    SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list), SCMP_SYS(rseq),
    SCMP_SYS(set_tid_address), SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(restart_syscall),
    SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack),
    SCMP_SYS(getpid), SCMP_SYS(gettid), SCMP_SYS(getppid), SCMP_SYS(getuid), SCMP_SYS(geteuid),
    SCMP_SYS(getgid), SCMP_SYS(getegid), SCMP_SYS(getrandom), SCMP_SYS(uname), SCMP_SYS(sysinfo),
    SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(clock_nanosleep), SCMP_SYS(nanosleep),
    SCMP_SYS(gettimeofday), SCMP_SYS(times), SCMP_SYS(getrusage),
    SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity), SCMP_SYS(sched_getparam),
    SCMP_SYS(sched_getscheduler), SCMP_SYS(getpriority), SCMP_SYS(setpriority),
    SCMP_SYS(getrlimit), SCMP_SYS(setrlimit), SCMP_SYS(prctl),
    SCMP_SYS(poll), SCMP_SYS(ppoll), SCMP_SYS(eventfd2), SCMP_SYS(pipe2),
    SCMP_SYS(recvmsg), SCMP_SYS(sendmsg), SCMP_SYS(memfd_create), SCMP_SYS(ftruncate), SCMP_SYS(fcntl),
    SCMP_SYS(dup), SCMP_SYS(dup3),
};

// Opening for reading only: no writing, creating or truncating.
constexpr scmp_datum_t kWriteFlags = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;

bool addRules(scmp_filter_ctx filter)
{
    bool ok = true;
    for (const int call : kAllowed)
        ok &= seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
    ok &= seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(openat), 1, SCMP_A2(SCMP_CMP_MASKED_EQ, kWriteFlags, 0)) == 0;
    ok &= seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(open), 1, SCMP_A1(SCMP_CMP_MASKED_EQ, kWriteFlags, 0)) == 0;
    // Threads only: a clone without CLONE_THREAD would be a new process. clone3 hides its flags
    // from the filter, so it is refused as unknown and the C library falls back to clone.
    ok &= seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                           SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0;
    ok &= seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    // Signals to itself only (abort, a thread's own signals).
    const auto self = scmp_datum_t(::getpid());
    ok &= seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1, SCMP_A0(SCMP_CMP_EQ, self)) == 0;
    ok &= seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(kill), 1, SCMP_A0(SCMP_CMP_EQ, self)) == 0;
    ok &= seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1, SCMP_A0(SCMP_CMP_EQ, 0)) == 0;
    // Whether stderr is a terminal, say: answered "no" rather than killed for.
    ok &= seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOTTY), SCMP_SYS(ioctl), 0) == 0;
    return ok;
}

bool filterInstalled = false;

void installFilter()
{
    const Filter filter(seccomp_init(SCMP_ACT_KILL_PROCESS));
    filterInstalled = filter && addRules(filter.get()) && seccomp_load(filter.get()) == 0;
}

} // namespace

void enterSandbox()
{
    // Each malloc arena reserves 64 MB of address space, and each thread may make one.
    ::mallopt(M_ARENA_MAX, 2);
    limitAddressSpace();
    limitTimeOfNextPicture();
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    installFilter();
}

bool filtered() { return filterInstalled; }

void limitTimeOfNextPicture()
{
    rusage used{};
    ::getrusage(RUSAGE_SELF, &used);
    const rlim_t spent = rlim_t(used.ru_utime.tv_sec + used.ru_stime.tv_sec);
    // SIGXCPU at the soft limit ends the process. The hard limit stays open so that each
    // picture gets its own allowance; the parent's own deadline ends a process that raised it.
    const rlimit limit{spent + kCpuSecondsPerPicture, RLIM_INFINITY};
    ::setrlimit(RLIMIT_CPU, &limit);
}

} // namespace lmvo::decoder
