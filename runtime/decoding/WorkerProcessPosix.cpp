#include "runtime/decoding/DecoderPool.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char **environ;

namespace rt::decoding {

QString defaultDecoderProgram()
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString beside = folder + QStringLiteral("/pixmoor-decoder");
    const QString installed = folder + QStringLiteral("/../libexec/pixmoor/pixmoor-decoder");
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed;
}

Worker startWorker(const QString &program)
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

bool workerGone(const Worker &worker)
{
    pollfd state{worker.socket, 0, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR));
}

void killWorker(const Worker &worker)
{
    ::kill(worker.pid, SIGKILL);
}

void releaseWorker(const Worker &worker)
{
    ::close(worker.socket);
    while (::waitpid(worker.pid, nullptr, 0) < 0 && errno == EINTR) {}
}

bool passedItsLimit(const Worker &)
{
    return false;
}

} // namespace rt::decoding
