#include "runtime/decoding/Confinement.h"

#include "runtime/decoding/DecodeGrant.h"
#include "runtime/decoding/SystemCallFilter.h"
#include "runtime/decoding/WorkerProtocol.h"
#include "runtime/services/Sanitizer.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace rt::decoding {

namespace {

// Standard streams, the socket, the picture, its pixel buffer, with room.
constexpr rlim_t kMaxFiles = 16;
// The sanitizer's shadow memory takes terabytes of address space.
constexpr bool kLimitAddressSpace = !kAddressSanitizer;

bool useLandlock = true;
int landlockAbi = 0;
int expectedMissing = 0;
int statusFile = -1;       // the server's /proc/self/statm, opened before it is shut in
qint64 startingSpace = 0;  // the server's address space when it forked the decoder

qint64 addressSpace()
{
    char text[64] = {};
    if (statusFile < 0 || ::pread(statusFile, text, sizeof text - 1, 0) <= 0)
        return 0;
    long long pages = 0;
    std::sscanf(text, "%lld", &pages);
    return pages * ::sysconf(_SC_PAGESIZE);
}

bool setLimit(int resource, rlim_t limit)
{
    const rlimit both{limit, limit};
    return ::setrlimit(resource, &both) == 0;
}

// Every limit's hard value brought down to its soft one: none can be raised
// again, whatever a decoder bug tries.
void fixLimits()
{
    for (int resource = 0; resource < RLIM_NLIMITS; ++resource) {
        rlimit limit{};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_max != limit.rlim_cur)
            setLimit(resource, limit.rlim_cur);
    }
}

// No capability left, as root too: a raised hard limit needs one.
bool dropCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    return ::syscall(SYS_capset, &header, none) == 0;
}

// A Landlock domain of its own that handles `fs` file rights with no rule
// allowing any (descriptors already open keep working, no path opens), and
// from ABI 4 and 6 `net` and `scoped`: TCP binding and connecting, signals
// and abstract sockets outside the domain.
bool restrict(quint64 fs, quint64 net, quint64 scoped)
{
    struct
    {
        quint64 fs, net, scoped;
    } attributes{fs, landlockAbi >= 4 ? net : 0, landlockAbi >= 6 ? scoped : 0};
    const size_t size = landlockAbi >= 6 ? 24 : landlockAbi >= 4 ? 16 : 8;
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
    if (ruleset < 0)
        return false;
    const bool done = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return done;
}

bool denyAllFileAccess()
{
    const int rights = landlockAbi >= 5 ? 16 : landlockAbi >= 3 ? 15 : landlockAbi >= 2 ? 14 : 13;
    return landlockAbi >= 1 &&restrict((quint64(1) << rights) - 1, 3, 3);
}

// What each decoder adds: a domain below the server's, so that no signal
// reaches the server, and the filter.
int shutDecoderIn()
{
    int missing = 0;
    if (useLandlock && landlockAbi >= 6 && !restrict(1, 0, 3))
        missing |= NoLandlock;
    if (!installCallFilter())
        missing |= NoCallFilter;
    return missing;
}

}  // namespace

void closeFilesBut(int keep)
{
    if (keep > 3)
        ::close_range(3, unsigned(keep) - 1, 0);
    ::close_range(unsigned(qMax(keep, 2)) + 1, ~0U, 0);
}

int prepareConfinement(bool landlock)
{
    useLandlock = landlock;
    landlockAbi = int(::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION));
    prepareCallFilter();
    statusFile = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    int missing = 0;
    const qint64 used = addressSpace();
    if (!kLimitAddressSpace || used == 0 || !setLimit(RLIMIT_AS, rlim_t(used + maxGrant())))
        missing |= NoMemoryLimit;
    if (!setLimit(RLIMIT_NOFILE, kMaxFiles))
        missing |= NoFileLimit;
    setLimit(RLIMIT_CORE, 0);
    fixLimits();
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        missing |= NoNewPrivileges;
    if (!dropCapabilities())
        missing |= NoCapabilitiesDropped;
    if (!useLandlock || !denyAllFileAccess())
        missing |= NoLandlock;
    // What a decoder adds is tried in a first one that does nothing else.
    const pid_t probe = ::fork();
    if (probe == 0)
        ::_exit(shutDecoderIn());
    int status = 0;
    while (probe > 0 && ::waitpid(probe, &status, 0) < 0) {
    }
    // A probe that could not run tells nothing: no decoder is refused for what it lacks.
    const int decoderMissing = probe > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : 0xff;
    expectedMissing = missing | decoderMissing;
    return probe > 0 ? expectedMissing : missing;
}

void noteAddressSpace() { startingSpace = addressSpace(); }

bool confineDecoder() { return (shutDecoderIn() & ~expectedMissing) == 0; }

void limitMemory(qint64 grant)
{
    if (kLimitAddressSpace && startingSpace > 0)
        setLimit(RLIMIT_AS, rlim_t(startingSpace + qMax<qint64>(grant, 0)));  // lowered only: the hard limit holds
}

}  // namespace rt::decoding
