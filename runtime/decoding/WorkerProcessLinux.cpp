#include "runtime/decoding/WorkerProcess.h"

#include "runtime/decoding/DecoderPool.h"

#include "runtime/services/Sanitizer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace rt::decoding {

namespace {

// Loading Qt's decoders takes well under a second; a loaded machine may take longer.
constexpr int kStartMs = 20'000;
constexpr int kForkMs = 5'000;

bool readable(int fd, QDeadlineTimer deadline)
{
    for (;;) {
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(qMax<qint64>(deadline.remainingTime(), 0)));
        if (ready >= 0 || errno != EINTR)
            return ready > 0;
    }
}

// The decoders' environment: nothing of the program's, but what a
// sanitizer build reads. Every symbol is bound as the server loads, once,
// not again by each decoder it forks; the heap grows in huge pages where it
// can (HugePages.h); and Qt's own event loop, not GLib's, which would set up
// a context of its own in each thread Qt's scaling starts (a decoder runs no
// event loop).
std::vector<QByteArray> decoderEnvironment()
{
    std::vector<QByteArray> kept{"LD_BIND_NOW=1", "GLIBC_TUNABLES=glibc.malloc.hugetlb=1", "QT_NO_GLIB=1"};
    if (kAddressSanitizer) {
        for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char *value = std::getenv(name))
                kept.push_back(QByteArray(name) + '=' + value);
    }
    return kept;
}

class ForkServer;
ForkServer &server();

// The fork server: started once, asked for each decoder. Only it is the
// program's child; the decoders are its children, reaped by the system.
class ForkServer
{
public:
    ForkServer()
    {
        // A fork of the program keeps neither this server nor its decoders.
        pthread_atfork(
            [] {
                server().mutex_.lock();
                DecoderPool::instance().prepareFork();
            },
            [] {
                DecoderPool::instance().afterFork(false);
                server().mutex_.unlock();
            },
            [] {
                DecoderPool::instance().afterFork(true);
                server().forget();
                server().mutex_.unlock();
            });
    }

    Worker fork(const QString &program, const QStringList &arguments)
    {
        const QMutexLocker lock(&mutex_);
        // A server that died is started again, once.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (pid_ < 0 && !start(program, arguments))
                return {};
            Worker worker = forkOne();
            if (worker.pid >= 0)
                return worker;
            stop();
        }
        return {};
    }

    void end()
    {
        const QMutexLocker lock(&mutex_);
        stop();
    }

private:
    bool start(const QString &program, const QStringList &arguments)
    {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Standard streams that are not the program's; a sanitizer's report still reaches the terminal.
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (!kAddressSanitizer)
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
        const QByteArray path = QFile::encodeName(program);
        std::vector<QByteArray> words{path};
        for (const QString &argument : arguments)
            words.push_back(argument.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<QByteArray> environment = decoderEnvironment();
        std::vector<char *> envp;
        for (QByteArray &entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        pid_t pid = -1;
        const int failed = ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        if (failed) {
            ::close(ends[0]);
            return false;
        }
        pid_ = pid;
        control_ = ends[0];
        Reply ready;
        if (!readable(control_, QDeadlineTimer(kStartMs)) || !receiveReply(control_, ready)
            || ready.kind != Reply::Ready) {
            stop();
            return false;
        }
        reportMissing(unconfinedText(ready.missing));
        return true;
    }

    Worker forkOne()
    {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
            return {};
        const QDeadlineTimer deadline(kForkMs);
        Wire ask;
        ask.kind = WireKind::Fork;
        const bool sent = sendWire(control_, ask, {ends[1], kNone}, deadline);
        ::close(ends[1]);
        Wire forked;
        Passed passed[kMaxPassed];
        if (!sent || !readable(control_, deadline) || !receiveWire(control_, forked, passed)) {
            ::close(ends[0]);
            return {};
        }
        if (forked.magic != kMagic || forked.kind != WireKind::Forked || forked.number <= 0 || passed[0] == kNone
            || passed[1] != kNone) {
            dropPassed(passed);
            ::close(ends[0]);
            return {};
        }
        Worker worker;
        worker.pid = forked.number;
        worker.process = passed[0];
        worker.requests = worker.replies = ends[0];
        return worker;
    }

    void forget()
    {
        if (control_ >= 0)
            ::close(control_);
        pid_ = -1;
        control_ = -1;
    }

    void stop()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);  // its decoders die with it
            while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        if (control_ >= 0)
            ::close(control_);
        pid_ = -1;
        control_ = -1;
    }

    QMutex mutex_;
    pid_t pid_ = -1;
    int control_ = -1;
};

ForkServer &server()
{
    static ForkServer forkServer;
    return forkServer;
}

}  // namespace

QString defaultDecoderProgram()
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString beside = folder + QStringLiteral("/pixmoor-decoder");
    const QString installed = folder + QStringLiteral("/../libexec/pixmoor/pixmoor-decoder");
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed;
}

// A waiting decoder costs little, a copy of the fork server's pages shared
// until written, and a fork takes a millisecond: one is enough.
int decodersAhead() { return 1; }

Worker startWorker(const QString &program, const QStringList &arguments) { return server().fork(program, arguments); }

bool workerGone(const Worker &worker)
{
    pollfd state{int(worker.replies), 0, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR));
}

void killWorker(const Worker &worker) { ::syscall(SYS_pidfd_send_signal, int(worker.process), SIGKILL, nullptr, 0); }

bool waitWorkerGone(const Worker &worker, QDeadlineTimer deadline)
{
    return readable(int(worker.process), deadline);  // a process descriptor reads as ready once it has ended
}

void releaseWorker(const Worker &worker)
{
    ::close(int(worker.replies));
    ::close(int(worker.process));
}

void endStarting() { server().end(); }

bool passedItsLimit(const Worker &) { return false; }

Passed fileHandle(int descriptor) { return descriptor; }

}  // namespace rt::decoding
