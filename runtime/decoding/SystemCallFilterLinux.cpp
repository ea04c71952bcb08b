#include "runtime/decoding/SystemCallFilter.h"

#include "runtime/services/Sanitizer.h"

#include <QtGlobal>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#if !defined(__x86_64__) && !defined(__aarch64__)
#error "the trapped calls are served from x86_64's and aarch64's registers only"
#endif

namespace rt::decoding {

namespace {

std::vector<sock_filter> program;  // built by the fork server, inherited by each decoder

// The C library's fstat() and Qt's file sizes ask by descriptor through calls
// that take a path as well (an empty one): served here by descriptor alone.
// Any path ends the process, as the filter ends it for any other call.
void serveTrapped(int, siginfo_t *info, void *context)
{
    auto &registers = static_cast<ucontext_t *>(context)->uc_mcontext;
#if defined(__x86_64__)
    greg_t *r = registers.gregs;
    const long argument[] = {r[REG_RDI], r[REG_RSI], r[REG_RDX], r[REG_R10]};
    greg_t &result = r[REG_RAX];
#else
    const long argument[] = {long(registers.regs[0]), long(registers.regs[1]), long(registers.regs[2]),
                             long(registers.regs[3])};
    auto &result = registers.regs[0];
#endif
    const auto *path = reinterpret_cast<const char *>(argument[1]);
    const bool byDescriptor = path && *path == 0;
    if (info->si_syscall == SYS_newfstatat && byDescriptor && (argument[3] & AT_EMPTY_PATH)) {
        const int saved = errno;
        const long done = ::syscall(SYS_fstat, argument[0], argument[2]);
        result = done < 0 ? -errno : done;
        errno = saved;
        return;
    }
    if (info->si_syscall == SYS_statx && byDescriptor && (argument[2] & AT_EMPTY_PATH)) {
        result = -ENOSYS;  // Qt falls back to fstat()
        return;
    }
    ::syscall(SYS_exit_group, 128 + SIGSYS);
}

bool allow(scmp_filter_ctx filter, const char *name, std::initializer_list<scmp_arg_cmp> conditions = {},
           uint32_t action = SCMP_ACT_ALLOW)
{
    const int call = seccomp_syscall_resolve_name(name);
    if (call == __NR_SCMP_ERROR)
        return true;  // not every architecture has every call
    return seccomp_rule_add_array(filter, action, call, unsigned(conditions.size()), conditions.begin()) == 0;
}

// Reads, writes and closes what is open; memory, never executable; threads;
// its own limits; time and randomness; the socket. Nothing that names a
// path, another process, or a new file.
bool addRules(scmp_filter_ctx filter)
{
    bool built = true;
    for (const char *name : {"read",           "write",        "readv",
                             "writev",         "pread64",      "pwrite64",
                             "lseek",          "close",        "fstat",
                             "munmap",         "mremap",       "brk",
                             "madvise",        "futex",        "clock_gettime",
                             "clock_getres",   "gettimeofday", "clock_nanosleep",
                             "nanosleep",      "getpid",       "gettid",
                             "exit",           "exit_group",   "rt_sigreturn",
                             "rt_sigprocmask", "rt_sigaction", "sigaltstack",
                             "sched_yield",    "getrandom",    "recvmsg",
                             "sendmsg",        "getrlimit",    "set_robust_list",
                             "rseq",           "alarm",        "restart_syscall",
                             "membarrier",     "eventfd2",     "poll",
                             "ppoll"})
        built = allow(filter, name) && built;
    // Memory that is never made executable.
    for (const char *name : {"mmap", "mprotect"})
        built = allow(filter, name, {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)}) && built;
    // Its own limits and processors only.
    built = allow(filter, "prlimit64", {SCMP_A0(SCMP_CMP_EQ, 0)}) && built;
    built = allow(filter, "sched_getaffinity", {SCMP_A0(SCMP_CMP_EQ, 0)}) && built;
    // A thread asking for its own processors by its id (pthread_getattr_np,
    // which the sanitizer calls in every new thread) is told there is no such
    // call, which the C library takes as no affinity to report.
    built = allow(filter, "sched_getaffinity", {SCMP_A0(SCMP_CMP_NE, 0)}, SCMP_ACT_ERRNO(ENOSYS)) && built;
    // A descriptor's flags and seals; never its owner, signal, lease or notice.
    for (const int command : {F_GETFD, F_SETFD, F_GETFL, F_GET_SEALS})
        built = allow(filter, "fcntl", {SCMP_A1(SCMP_CMP_EQ, unsigned(command))}) && built;
    // Threads, which Qt's scaling may start, but no new process.
    built = allow(filter, "clone", {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)}) && built;
    built = allow(filter, "clone3", {}, SCMP_ACT_ERRNO(ENOSYS)) && built;          // its flags lie behind a pointer
    built = allow(filter, "prctl", {SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME)}) && built;  // threads name themselves
    for (const char *name : {"newfstatat", "statx"})
        built = allow(filter, name, {}, SCMP_ACT_TRAP) && built;
    if (kAddressSanitizer) {
        // The sanitizer tells readable memory by writing it into a pipe of its own.
        for (const char *name : {"pipe", "pipe2"})
            built = allow(filter, name) && built;
    }
    return built;
}

}  // namespace

void prepareCallFilter()
{
    struct sigaction trapped = {};
    trapped.sa_sigaction = serveTrapped;
    trapped.sa_flags = SA_SIGINFO | SA_NODEFER;
    ::sigaction(SIGSYS, &trapped, nullptr);
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!filter)
        return;
    // The filter as the kernel takes it, exported once: loading it in each
    // decoder is then a single call.
    const int exported = ::memfd_create("filter", MFD_CLOEXEC);
    if (addRules(filter) && exported >= 0 && seccomp_export_bpf(filter, exported) == 0) {
        const off_t size = ::lseek(exported, 0, SEEK_END);
        program.resize(size_t(qMax<off_t>(size, 0)) / sizeof(sock_filter));
        const auto bytes = ssize_t(program.size() * sizeof(sock_filter));
        if (program.empty() || ::pread(exported, program.data(), size_t(bytes), 0) != bytes)
            program.clear();
    }
    if (exported >= 0)
        ::close(exported);
    seccomp_release(filter);
}

bool installCallFilter()
{
    if (program.empty())
        return false;
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) == 0;
}

}  // namespace rt::decoding
