#include "runtime/services/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace rt::platform {

QStringList drives()
{
    QStringList roots;
    for (const QFileInfo &drive : QDir::drives())
        roots.append(QDir::toNativeSeparators(drive.absolutePath()));
    return roots;
}

QString driveOf(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath().left(3));
}

bool isReadOnly(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool isFaithfulName(const QString &, const QString &)
{
    return true;  // Windows file names are UTF-16 already
}

Failure openRegularFile(QFile &file, const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {info.isSymLink() ? Reason::DanglingLink : Reason::NotFound};
    if (info.isDir())
        return {Reason::IsFolder};
    if (!info.isFile())
        return {Reason::NotRegularFile};
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Reason::CannotOpen, file.errorString()};
    // A device name such as "COM1.jpg" passes the checks above.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))) != FILE_TYPE_DISK) {
        file.close();
        return {Reason::NotRegularFile};
    }
    return {};
}

Failure createCopy(QFile &source, const QString &destination, const CopyProgress &copied)
{
    // Renaming (MoveFileEx without MOVEFILE_REPLACE_EXISTING) never replaces.
    const QString folder = QFileInfo(destination).absolutePath();
    QTemporaryFile out(folder + QStringLiteral("/.pixmoor-copy-XXXXXX"));
    if (!out.open()) {
        if (!QFileInfo(folder).isDir())
            return {Reason::NoDestinationFolder};
        return {Reason::CannotWriteDestination, out.errorString()};
    }
    if (!source.seek(0))
        return {Reason::SourceUnreadable, source.errorString()};
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 total = 0;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0)
            return {Reason::SourceUnreadable, source.errorString()};
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got)
            return {Reason::WriteFailed, out.errorString()};
        if (copied)
            copied(total += got);
    }
    if (!out.flush() || !syncToDisk(out))
        return {Reason::WriteFailed, out.errorString()};
    out.setPermissions(source.permissions());
    if (!out.rename(destination)) {
        // Windows removes no read-only file: the temporary one must go.
        out.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        const QFileInfo taken(destination);
        if (taken.exists() || taken.isSymLink())
            return {Reason::DestinationExists};
        return {Reason::CannotNameDestination, out.errorString()};
    }
    out.setAutoRemove(false);
    return {};
}

bool syncToDisk(QFile &file)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())));
}

void reachParentConsole()
{
    // Output redirected to a file or a pipe already works; only a stream with
    // nowhere to go is pointed at the parent's console.
    auto unconnected = [](DWORD stream) { return GetFileType(GetStdHandle(stream)) == FILE_TYPE_UNKNOWN; };
    const bool out = unconnected(STD_OUTPUT_HANDLE), err = unconnected(STD_ERROR_HANDLE);
    if ((!out && !err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (out)
        std::freopen("CONOUT$", "w", stdout);
    if (err)
        std::freopen("CONOUT$", "w", stderr);
}

void prepareProcess()
{
}

void releaseFreeMemory()
{
}

} // namespace rt::platform
