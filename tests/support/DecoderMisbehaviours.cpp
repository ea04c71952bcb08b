// Built into the tests' pixmoor-decoder only: a picture whose last bytes say
// "pixmoor-test:<what> [number]" makes the decoder, once it has decoded it,
// do what a decoder bug set off by a hostile picture might. An attack that
// gets through leaves the honest answer, which the tests take as the walls
// failing; one refused with an error crashes the decoder, as one its filter
// kills.
#include "runtime/decoding/SharedMemory.h"
#include "runtime/decoding/WorkerProtocol.h"
#include "runtime/pictures/PictureFormats.h"

#include <QIODevice>
#include <QImage>

#include <algorithm>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace rt::decoding;

namespace {

[[noreturn]] void crash()
{
    *static_cast<volatile int *>(nullptr) = 1;
    std::abort();
}

void blockedUnless(bool done)
{
    if (!done)
        crash();
}

#ifndef Q_OS_WIN
bool limitOther(qint64 pid)
{
    rlimit limit{};
    ::prlimit(pid_t(pid), RLIMIT_MSGQUEUE, nullptr, &limit);
    limit.rlim_cur = limit.rlim_cur > 0 ? limit.rlim_cur - 1 : 0;
    return ::prlimit(pid_t(pid), RLIMIT_MSGQUEUE, &limit, nullptr) == 0;
}

bool signalOnInput(qint64 pid)
{
    bool done = false;
    for (int fd = 0; fd < 16; ++fd)
        done =
            (::fcntl(fd, F_SETOWN, int(pid)) == 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_ASYNC) == 0) || done;
    return done;
}

// A path stat'ed the ways a filter of flags alone lets through: with
// AT_EMPTY_PATH, which names an open descriptor only when the path is empty.
bool statPath()
{
    struct stat status;
    struct statx extended;
    return ::syscall(SYS_newfstatat, AT_FDCWD, "/etc/hostname", &status, AT_EMPTY_PATH) == 0
        || ::syscall(SYS_statx, AT_FDCWD, "/etc/hostname", AT_EMPTY_PATH, STATX_SIZE, &extended) == 0
        || ::stat("/etc/hostname", &status) == 0;
}

bool executableMemory()
{
    void *page = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return page != MAP_FAILED && ::mprotect(page, 4096, PROT_READ | PROT_WRITE | PROT_EXEC) == 0;
}

// Whether what is written to `fd` goes nowhere (/dev/null), not to the program's output.
bool discarded(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && status.st_rdev == makedev(1, 3);
}

// Whether one of Qt's image plugins other than those of the program's formats
// is loaded: code no picture of ours needs, within a hostile picture's reach.
bool otherPluginLoaded()
{
    bool other = false;
    ::dl_iterate_phdr(
        [](dl_phdr_info *library, size_t, void *found) {
            const QByteArray path(library->dlpi_name);
            const qsizetype at = path.indexOf("/imageformats/libq");
            if (at >= 0) {
                const QByteArray name = path.mid(at + 18).split('.').value(0);
                const auto formats = rt::pictureFormats();
                *static_cast<bool *>(found) |= std::none_of(
                    formats.begin(), formats.end(), [&](const rt::PictureFormat &f) { return name == f.format; });
            }
            return 0;
        },
        &other);
    return other;
}

bool raiseOwnLimit()
{
    const rlimit more{1024, 1024};
    return ::setrlimit(RLIMIT_NOFILE, &more) == 0;
}

// Answers, then keeps writing into the answer's buffer through a mapping of
// its own, and never ends by itself.
[[noreturn]] void answerAndScribble(const AnswerBuffer &buffer, const Reply &reply)
{
    void *view = ::mmap(nullptr, size_t(buffer.length()), PROT_READ | PROT_WRITE, MAP_SHARED, int(buffer.memory()), 0);
    struct stat status;
    for (int fd = 3; fd < 16 && view != MAP_FAILED; ++fd) {
        if (::fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode))
            sendReply(fd, reply);
    }
    for (quint32 n = 0; view != MAP_FAILED; ++n)
        static_cast<volatile quint32 *>(view)[0] = n;
    crash();
}
#endif

}  // namespace

void misbehave(QIODevice &file, Reply &reply, AnswerBuffer &buffer)
{
    static int seen = 0;  // pictures this process was handed
    ++seen;
    file.seek(qMax<qint64>(0, file.size() - 64));
    const QByteArray tail = file.read(64);
    const qsizetype at = tail.indexOf("pixmoor-test:");
    if (at < 0)
        return;
    const QList<QByteArray> words = tail.mid(at + 13).trimmed().split(' ');
    const QByteArray what = words.value(0);
    const qint64 number = words.value(1).toLongLong();
    if (what == "crash") {
        crash();
    } else if (what == "allocate") {
        static char *volatile taken;        // kept, so that the allocation is made
        taken = new char[size_t(3) << 30];  // never touched: no memory is used
        delete[] taken;
    } else if (what == "hang") {
        volatile unsigned spin = 0;
        for (;;)
            spin = spin + 1;
    } else if (what == "remember") {
        blockedUnless(seen == 1);
    } else if (what == "environment") {
        blockedUnless(std::getenv("PIXMOOR_TEST_SECRET") != nullptr);
    } else if (what == "oversize") {
        reply.pixels = QSize(3000, 2000);
        reply.bytesPerLine = 12000;
    } else if (what == "wider") {  // within its buffer still
        reply.pixels = QSize(reply.pixels.width() + 1, reply.pixels.height() - 1);
        reply.bytesPerLine = reply.pixels.width() * 4;
    } else if (what == "reason") {
        reply.kind = Reply::Refused;
        reply.reason = rt::Reason::CannotOpen;
#ifdef Q_OS_WIN
    } else if (what == "open") {
        blockedUnless(
            CreateFileW(L"C:\\windows\\win.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
            != INVALID_HANDLE_VALUE);
    } else if (what == "execute") {
        STARTUPINFOW start{};
        start.cb = sizeof start;
        PROCESS_INFORMATION started{};
        wchar_t command[] = L"C:\\windows\\system32\\cmd.exe /c exit";
        blockedUnless(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                     &start, &started));
#else
    } else if (what == "open") {
        blockedUnless(::open("/etc/hostname", O_RDONLY) >= 0);
    } else if (what == "socket") {
        blockedUnless(::socket(AF_INET, SOCK_STREAM, 0) >= 0);
    } else if (what == "execute") {
        char *arguments[] = {const_cast<char *>("/bin/true"), nullptr};
        ::execv("/bin/true", arguments);
        crash();
    } else if (what == "limit") {
        blockedUnless(limitOther(number));
    } else if (what == "setown") {
        blockedUnless(signalOnInput(number));
    } else if (what == "stat") {
        blockedUnless(statPath());
    } else if (what == "execmem") {
        blockedUnless(executableMemory());
    } else if (what == "plugins") {
        blockedUnless(otherPluginLoaded());
    } else if (what == "memfd") {
        blockedUnless(::memfd_create("more", 0) >= 0);
    } else if (what == "scribble") {
        blockedUnless(reply.kind == Reply::Pixels);
        answerAndScribble(buffer, reply);
    } else if (what == "raise") {
        blockedUnless(raiseOwnLimit());
    } else if (what == "output") {
        blockedUnless(!discarded(1) || !discarded(2));
#endif
    }
}
