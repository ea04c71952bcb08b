// The POSIX side of the shared thumbnail cache's folders (see Platform.h):
// each is a descriptor, every name is looked up relative to it, and below the
// root no link is followed.
#include "runtime/services/Platform.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rt::platform {

Folder::~Folder()
{
    if (handle_ >= 0)
        ::close(int(handle_));
}

void Folder::hold(qintptr handle)
{
    const int fd = int(handle);
    if (fd < 0) {
        state_ = errno == ENOENT ? State::Missing : State::Refused;
        return;
    }
    static const uid_t user = ::geteuid();  // the program never changes it
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == user
        && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
        handle_ = fd;
        state_ = State::Open;
    } else {
        ::close(fd);
        state_ = State::Refused;
    }
}

Folder Folder::open(const QString &path, bool make)
{
    const QByteArray name = QFile::encodeName(path);
    if (make)
        ::mkdir(name.constData(), S_IRWXU);  // whatever stands there is judged below
    Folder folder;
    folder.hold(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder;
}

Folder Folder::sub(const QString &name, bool make) const
{
    Folder folder;
    folder.state_ = state_;
    if (!isOpen())
        return folder;
    const QByteArray bytes = QFile::encodeName(name);
    if (make)
        ::mkdirat(int(handle_), bytes.constData(), S_IRWXU);
    folder.hold(::openat(int(handle_), bytes.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return folder;
}

Failure Folder::openFile(QFile &file, const QString &name) const
{
    if (!isOpen())
        return {Reason::CannotEnterFolder};
    // O_NONBLOCK: a named pipe opens at once instead of waiting for a writer.
    const int fd = ::openat(int(handle_), QFile::encodeName(name).constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // ELOOP: the name is a link, which O_NOFOLLOW refused.
        const int error = errno;
        return error == ENOENT ? Failure{Reason::NotFound}
            : error == ELOOP   ? Failure{Reason::NotRegularFile}
                               : Failure{Reason::CannotOpen, QString::fromLocal8Bit(std::strerror(error))};
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {Reason::NotRegularFile};
    }
    return {};
}

bool Folder::replaceFile(const QString &name, const QByteArray &bytes, const std::function<bool()> &proceed) const
{
    if (!isOpen())
        return false;
    const int folder = int(handle_);
    const QByteArray target = QFile::encodeName(name);
    static std::atomic<unsigned> made{0};
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
        temporary = QFile::encodeName(temporaryName(name, ::getpid(), made++));
        fd = ::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      S_IRUSR | S_IWUSR);
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
    ok = ::close(fd) == 0 && ok && proceed()
        && ::renameat(folder, temporary.constData(), folder, target.constData()) == 0;
    if (!ok)
        ::unlinkat(folder, temporary.constData(), 0);
    return ok;
}

int Folder::removeLeftTemporaries(qint64 age) const
{
    if (!isOpen())
        return 0;
    // The listing reads a descriptor of its own: the held one stays as it is.
    const int listed = ::openat(int(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *folder = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!folder) {
        if (listed >= 0)
            ::close(listed);
        return 0;
    }
    const time_t before = std::time(nullptr) - time_t(age);
    int removed = 0;
    while (const dirent *entry = ::readdir(folder)) {
        struct stat status;
        if (isTemporaryName(QFile::decodeName(entry->d_name))
            && ::fstatat(int(handle_), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode)
            && status.st_uid == ::geteuid() && status.st_mtime <= before)
            removed += ::unlinkat(int(handle_), entry->d_name, 0) == 0;
    }
    ::closedir(folder);
    return removed;
}

}  // namespace rt::platform
