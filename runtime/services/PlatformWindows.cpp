#include "runtime/services/Platform.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace rt::platform {

QStringList drives()
{
    // The system's list of letters: no drive is asked, none spins up.
    QStringList roots;
    const DWORD letters = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (letters & (DWORD(1) << i))
            roots.append(QString(QChar(u'A' + i)) + QStringLiteral(":\\"));
    }
    return roots;
}

QString driveOf(const QString &path)
{
    // Only the spelling counts: "C:\" for a drive's path, "\\server\share\"
    // for a network one, the current folder's for a relative one.
    QString absolute = QDir::toNativeSeparators(path);
    if (!QDir::isAbsolutePath(path))
        absolute = QDir::toNativeSeparators(QDir::currentPath());
    if (absolute.startsWith(QLatin1String("\\\\"))) {
        const qsizetype server = absolute.indexOf(QLatin1Char('\\'), 2);
        const qsizetype share = server < 0 ? -1 : absolute.indexOf(QLatin1Char('\\'), server + 1);
        return (share < 0 ? absolute : absolute.left(share)) + QLatin1Char('\\');
    }
    return absolute.left(2).toUpper() + QLatin1Char('\\');
}

void useMountTable(const QString &) {}  // no mount table: drive letters

FolderReader::FolderReader(const QString &folder)
{
    // The find data gives every entry's kind: nothing more is asked per entry.
    if (QFileInfo(folder).isDir())
        handle_ = new QDirIterator(folder, QDir::AllEntries | QDir::NoDotAndDotDot);
}

FolderReader::~FolderReader() { delete static_cast<QDirIterator *>(handle_); }

QList<FolderReader::Entry> FolderReader::next(int most)
{
    QList<Entry> entries;
    auto *walk = static_cast<QDirIterator *>(handle_);
    while (walk && entries.size() < most && walk->hasNext()) {
        walk->next();
        const QFileInfo info = walk->fileInfo();
        const EntryKind kind = info.isDir() ? EntryKind::Folder : info.isFile() ? EntryKind::File : EntryKind::Other;
        entries.append({info.fileName(), kind});
    }
    return entries;
}

EntryKind kindOf(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() ? EntryKind::File : info.isDir() ? EntryKind::Folder : EntryKind::Other;
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

std::optional<FileStamp> stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    return FileStamp{info.size(), info.lastModified().toMSecsSinceEpoch()};
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
    // Opened sharing deletion, unlike QFile::open: a picture being read or
    // decoded can still be deleted by the user or another program.
    const HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {Reason::CannotOpen, qt_error_string(int(GetLastError()))};
    // A device name such as "COM1.jpg" passes the checks above.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return {Reason::NotRegularFile};
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return {Reason::CannotOpen, QString::fromLocal8Bit(std::strerror(errno))};
    }
    file.setFileName(path);
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(descriptor);
        return {Reason::CannotOpen, file.errorString()};
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
    const qint64 size = source.size();
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
            copied(total += got, size);
    }
    if (!out.flush() || !syncToDisk(out))
        return {Reason::WriteFailed, out.errorString()};
    // The source was opened by handle, without its name: the one permission
    // Windows keeps is read from the handle.
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(source.handle())), &information)
        && (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
        out.setPermissions(QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther);
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

bool syncToDisk(QFile &file) { return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))); }

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
    // Names are matched against the file pattern on the job threads. With
    // PCRE's JIT there, the process crashed when such a thread ended (a JIT
    // stack freed that was none, or a jump into freed code: seen under Wine
    // in every test that lists on them); the interpreter is as fast for a
    // file name. Read by Qt when it compiles its first pattern.
    qputenv("QT_ENABLE_REGEXP_JIT", "0");
}

void releaseFreeMemory() {}
qint64 heapInUse() { return -1; }

bool sortKeysOrderNumbers() { return false; }

}  // namespace rt::platform
