// The POSIX side of the platform functions for the shared thumbnail cache,
// which never follow a link (see Platform.h).
#include "runtime/Platform.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rt::platform {

bool openPlainFile(QFile &file, const QString &path)
{
    // O_NONBLOCK: a named pipe opens at once instead of waiting for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool isPrivateFolder(const QString &path, bool make)
{
    const QByteArray name = QFile::encodeName(path);
    if (make && ::mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST)
        return false;
    struct stat status;
    return ::lstat(name.constData(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid()
        && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool replaceFile(const QString &path, const QByteArray &bytes, const std::function<bool()> &proceed)
{
    const QByteArray target = QFile::encodeName(path);
    static std::atomic<unsigned> made{0};
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
        temporary = target + ".pixmoor-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(made++);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = proceed();
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (put < 0 && errno != EINTR)
            ok = false;
        done += put > 0 ? put : 0;
    }
    ok = ::close(fd) == 0 && ok && proceed() && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

} // namespace rt::platform
