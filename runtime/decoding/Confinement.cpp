#include "runtime/decoding/Confinement.h"

#include "runtime/decoding/DecodeGrant.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define PIXMOOR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIXMOOR_ADDRESS_SANITIZER 1
#endif
#endif

namespace rt::decoding {

namespace {

#ifdef PIXMOOR_ADDRESS_SANITIZER
constexpr bool kLimitAddressSpace = false;  // the sanitizer's shadow memory takes terabytes of it
#else
constexpr bool kLimitAddressSpace = true;
#endif

// Standard streams, the socket, the file being decoded and the pixels' file, with room.
constexpr rlim_t kMaxFiles = 16;

int statusFile = -1;  // /proc/self/statm, opened while the process still may

qint64 addressSpace()
{
    char text[64] = {};
    if (statusFile < 0 || ::pread(statusFile, text, sizeof text - 1, 0) <= 0)
        return 0;
    long long pages = 0;
    std::sscanf(text, "%lld", &pages);
    return pages * ::sysconf(_SC_PAGESIZE);
}

bool setLimit(int resource, rlim_t soft, rlim_t hard)
{
    const rlimit limit{soft, hard};
    return ::setrlimit(resource, &limit) == 0;
}

// Every kind of file access the running kernel's Landlock knows, with no rule
// allowing any: descriptors already open keep working, no path opens.
bool denyAllFileAccess()
{
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1)
        return false;
    struct
    {
        quint64 fs, net, scoped;
    } attributes{};
    const int fsRights = abi >= 5 ? 16 : abi >= 3 ? 15 : abi >= 2 ? 14 : 13;
    attributes.fs = (quint64(1) << fsRights) - 1;
    attributes.net = abi >= 4 ? 3 : 0;     // binding and connecting TCP sockets
    attributes.scoped = abi >= 6 ? 3 : 0;  // abstract sockets and signals outside
    const size_t size = abi >= 6 ? 24 : abi >= 4 ? 16 : 8;
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
    if (ruleset < 0)
        return false;
    const bool done = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return done;
}

// Only what decoding into memory and answering over the socket takes; any
// other call ends the process.
bool filterSystemCalls()
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!filter)
        return false;
    bool built = true;
    for (const char *name : {"read", "write", "readv", "writev", "pread64", "lseek", "close", "fstat", "mmap",
                             "munmap", "mremap", "mprotect", "brk", "madvise", "futex", "clock_gettime",
                             "clock_getres", "gettimeofday", "clock_nanosleep", "nanosleep", "getpid", "gettid",
                             "exit", "exit_group", "rt_sigreturn", "rt_sigprocmask", "rt_sigaction", "sigaltstack", "sched_yield",
                             "sched_getaffinity", "getrandom", "recvmsg", "sendmsg", "memfd_create", "ftruncate",
                             "fcntl", "prlimit64", "getrlimit", "setrlimit", "set_robust_list", "rseq", "alarm",
                             "restart_syscall", "membarrier", "eventfd2"}) {
        const int call = seccomp_syscall_resolve_name(name);
        if (call != __NR_SCMP_ERROR)  // not every architecture has every call
            built = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0 && built;
    }
#ifdef PIXMOOR_ADDRESS_SANITIZER
    // The sanitizer tells readable memory by writing it into a pipe of its own.
    for (const char *name : {"pipe", "pipe2"}) {
        const int call = seccomp_syscall_resolve_name(name);
        if (call != __NR_SCMP_ERROR)
            built = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0 && built;
    }
#endif
    // Threads, which Qt's scaling may start, but no new process.
    built = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                             SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0 && built;
    // Threads name themselves.
    built = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prctl), 1, SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME)) == 0 && built;
    // Its flags lie behind a pointer: the C library falls back to clone.
    built = seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0 && built;
    // The status of an open descriptor only, never of a path.
    built = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), 1,
                             SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) == 0 && built;
    built = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(statx), 1,
                             SCMP_A2(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) == 0 && built;
    const bool loaded = built && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return loaded;
}

} // namespace

void closeInheritedFiles(int last)
{
    ::close_range(unsigned(last) + 1, ~0U, 0);
}

QStringList confine()
{
    QStringList missing;
    statusFile = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    const qint64 used = addressSpace();
    if (!kLimitAddressSpace || used == 0 || !setLimit(RLIMIT_AS, rlim_t(used + maxGrant()), rlim_t(used + maxGrant())))
        missing << QStringLiteral("a memory limit");
    if (!setLimit(RLIMIT_NOFILE, kMaxFiles, kMaxFiles))
        missing << QStringLiteral("a limit on open files");
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        missing << QStringLiteral("no_new_privs");
    if (!denyAllFileAccess())
        missing << QStringLiteral("Landlock");
    if (!filterSystemCalls())
        missing << QStringLiteral("a seccomp filter");
    return missing;
}

void limitMemory(qint64 grant)
{
    rlimit limit{};
    const qint64 used = addressSpace();
    if (!kLimitAddressSpace || used == 0 || ::getrlimit(RLIMIT_AS, &limit) != 0)
        return;
    setLimit(RLIMIT_AS, qMin<rlim_t>(rlim_t(used + qMax<qint64>(grant, 0)), limit.rlim_max), limit.rlim_max);
}

} // namespace rt::decoding
