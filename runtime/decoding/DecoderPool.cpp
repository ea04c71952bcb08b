#include "runtime/decoding/DecoderPool.h"

#include "runtime/services/Program.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char **environ;

namespace rt::decoding {

namespace {

QString defaultProgram()
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString beside = folder + QStringLiteral("/pixmoor-decoder");
    const QString installed = folder + QStringLiteral("/../libexec/pixmoor/pixmoor-decoder");
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed;
}

Worker spawn(const QString &program)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 3);  // the decoder's end, as descriptor 3
    const QByteArray path = QFile::encodeName(program);
    char *arguments[] = {const_cast<char *>(path.constData()), nullptr};
    Worker worker;
    const int failed = ::posix_spawn(&worker.pid, path.constData(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed) {
        ::close(ends[0]);
        return {};
    }
    worker.socket = ends[0];
    return worker;
}

bool hungUp(const Worker &worker)
{
    pollfd state{worker.socket, 0, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR));
}

} // namespace

Pool &Pool::instance()
{
    static Pool pool;
    return pool;
}

Worker Pool::take()
{
    QMutexLocker lock(&mutex_);
    for (;;) {
        while (!idle_.isEmpty()) {
            // The one used last, its memory still at hand; else the one started first.
            qsizetype pick = 0;
            for (qsizetype i = idle_.size(); i-- > 0 && pick == 0;)
                pick = idle_[i].ready ? i : 0;
            const Worker worker = idle_.takeAt(pick);
            if (hungUp(worker)) {  // killed while idle: not handed a picture it would seem to refuse
                ::kill(worker.pid, SIGKILL);
                --live_;
                ::close(worker.socket);
                ::waitpid(worker.pid, nullptr, 0);
                continue;
            }
            busy_.append(worker.pid);
            return worker;
        }
        if (live_ < size_)
            break;
        changed_.wait(&mutex_);
    }
    ++live_;
    lock.unlock();
    const Worker worker = spawn(program());
    lock.relock();
    if (worker.pid < 0) {
        --live_;
        changed_.wakeOne();
    } else {
        busy_.append(worker.pid);
    }
    return worker;
}

void Pool::giveBack(const Worker &worker)
{
    const QMutexLocker lock(&mutex_);
    busy_.removeOne(worker.pid);
    idle_.append(worker);
    changed_.wakeOne();
}

void Pool::discard(const Worker &worker)
{
    {
        const QMutexLocker lock(&mutex_);
        busy_.removeOne(worker.pid);
        ::kill(worker.pid, SIGKILL);
        --live_;
    }
    ::close(worker.socket);
    while (::waitpid(worker.pid, nullptr, 0) < 0 && errno == EINTR) {}
    fill();
}

void Pool::fill()
{
    QMutexLocker lock(&mutex_);
    while (live_ < size_) {
        ++live_;
        lock.unlock();
        const Worker worker = spawn(program());
        lock.relock();
        if (worker.pid < 0) {
            --live_;
            break;
        }
        idle_.append(worker);
        changed_.wakeOne();
    }
}

bool Pool::endAll()
{
    QList<Worker> idle;
    {
        const QMutexLocker lock(&mutex_);
        idle.swap(idle_);
        live_ -= int(idle.size());
        for (const Worker &worker : std::as_const(idle))
            ::kill(worker.pid, SIGKILL);
        for (const pid_t pid : std::as_const(busy_))
            ::kill(pid, SIGKILL);
    }
    for (const Worker &worker : std::as_const(idle)) {
        ::close(worker.socket);
        ::waitpid(worker.pid, nullptr, 0);
    }
    return true;
}

QString Pool::program()
{
    const QMutexLocker lock(&programMutex_);
    if (program_.isEmpty())
        program_ = defaultProgram();
    return program_;
}

void Pool::setProgram(const QString &path)
{
    const QMutexLocker lock(&programMutex_);
    program_ = path;
}

Pool::Pool()
    : size_(qBound(1, QThread::idealThreadCount(), 8))  // as many as the thumbnail pool has threads
{
    atEnd([this](QDeadlineTimer) { return endAll(); });
}

} // namespace rt::decoding
