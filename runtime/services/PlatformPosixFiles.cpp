// The POSIX side of opening and copying files (see Platform.h), and of
// telling from errno why either failed.
#include "runtime/services/Platform.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rt::platform {

namespace {

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Why a path cannot be opened, from the errno of stat().
Failure missingReason(const QByteArray &path, int error)
{
    struct stat link;
    switch (error) {
    case ENOENT:
        if (::lstat(path.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return {Reason::DanglingLink};
        return {Reason::NotFound};
    case ENOTDIR:
        return {Reason::NotFound};
    case ELOOP:
        return {Reason::LinkLoop};
    case EACCES:
        return {Reason::NoReadPermission};
    case ENAMETOOLONG:
        return {Reason::PathTooLong};
    default:
        return {Reason::CannotOpen, systemText(error)};
    }
}

Failure notRegularReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return {Reason::IsFolder};
    if (S_ISFIFO(mode))
        return {Reason::IsPipe};
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return {Reason::IsDevice};
    if (S_ISSOCK(mode))
        return {Reason::IsSocket};
    return {Reason::NotRegularFile};
}

Failure writeReason(int error)
{
    switch (error) {
    case ENOSPC:
        return {Reason::DiskFull};
    case EDQUOT:
        return {Reason::QuotaExceeded};
    case EFBIG:
        return {Reason::FileSizeLimit};
    case EACCES:
    case EPERM:
        return {Reason::NoWritePermission};
    case EROFS:
        return {Reason::DestinationReadOnly};
    case ENOENT:
    case ENOTDIR:
        return {Reason::NoDestinationFolder};
    case EEXIST:
        return {Reason::DestinationExists};
    default:
        return {Reason::WriteFailed, systemText(error)};
    }
}

// Copies the rest of `source` into `fd`.
Failure pump(QFile &source, int fd, const CopyProgress &copied)
{
    const qint64 size = source.size();
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 total = 0;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0)
            return {Reason::SourceUnreadable, source.errorString()};
        if (got == 0)
            return {};
        for (qint64 done = 0; done < got;) {
            const ssize_t put = ::write(fd, buffer.constData() + done, size_t(got - done));
            if (put < 0 && errno != EINTR)
                return writeReason(errno);
            done += put > 0 ? put : 0;
        }
        if (copied)
            copied(total += got, size);
    }
}

// Gives a complete file its name; fails with EEXIST rather than replace.
int publish(int fd, const QByteArray &temporary, const QByteArray &target)
{
    if (temporary.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }
    if (::link(temporary.constData(), target.constData()) == 0)
        return 0;
    if (errno == EEXIST)
        return EEXIST;
#if defined(__linux__)
    // File systems without hard links (FAT on memory cards) can still rename
    // without replacing.
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
#endif
    return errno;
}

}  // namespace

std::optional<FileStamp> stampOf(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
#ifdef Q_OS_MACOS
    const timespec modified = status.st_mtimespec;
#else
    const timespec modified = status.st_mtim;
#endif
    return FileStamp{qint64(status.st_size), qint64(modified.tv_sec) * 1000 + modified.tv_nsec / 1000000};
}

Failure openRegularFile(QFile &file, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat named;
    if (::stat(name.constData(), &named) != 0)
        return missingReason(name, errno);
    if (!S_ISREG(named.st_mode))
        return notRegularReason(named.st_mode);
    // O_NONBLOCK: should a pipe be swapped in after the check, opening it
    // returns at once instead of waiting for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return missingReason(name, errno);
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != named.st_dev
        || opened.st_ino != named.st_ino) {
        ::close(fd);
        return {Reason::ReplacedWhileOpening};
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {Reason::CannotOpen, file.errorString()};
    }
    return {};
}

Failure createCopy(QFile &source, const QString &destination, const CopyProgress &copied)
{
    struct stat from;
    if (::fstat(source.handle(), &from) != 0)
        return {Reason::SourceUnreadable, systemText(errno)};
    const QByteArray target = QFile::encodeName(destination);
    const QByteArray folder = QFile::encodeName(QFileInfo(destination).absolutePath());

    // First a nameless file, which vanishes by itself whatever happens; where
    // the file system has none, a hidden temporary one removed on failure.
    for (const bool named : {false, true}) {
        QByteArray temporary;
        int fd = -1;
        if (named) {
            temporary = folder + "/.pixmoor-copy-XXXXXX";
            fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        } else {
#if defined(O_TMPFILE)
            fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
#else
            errno = EOPNOTSUPP;
#endif
            if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
                continue;
        }
        if (fd < 0)
            return writeReason(errno);

        Failure failure;
        int published = -1;
        if (!source.seek(0))
            failure = {Reason::SourceUnreadable, source.errorString()};
        if (!failure)
            failure = pump(source, fd, copied);
        if (!failure && (::fchmod(fd, from.st_mode & 0777) != 0 || ::fsync(fd) != 0))
            failure = writeReason(errno);
        if (!failure) {
            published = publish(fd, temporary, target);
            if (published != 0)
                failure = writeReason(published);
        }
        ::close(fd);
        if (!temporary.isEmpty())
            ::unlink(temporary.constData());
        // Without /proc the nameless file cannot be named: write a named one.
        if (!named && published == ENOENT && QFileInfo(QFile::decodeName(folder)).isDir())
            continue;
        return failure;
    }
    return writeReason(EOPNOTSUPP);
}

bool syncToDisk(QFile &file) { return ::fsync(file.handle()) == 0; }

}  // namespace rt::platform
