// The Windows side of the shared thumbnail cache's folders (see Platform.h):
// each is a handle opened without FILE_SHARE_DELETE, so that while it is held
// neither it nor a folder above it can be renamed, removed or replaced by a
// link, and the names in it are built on the path the root's handle resolved
// to. Below the root a link (a reparse point) is opened itself, and refused.
#include "runtime/services/Platform.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace rt::platform {

namespace {

LPCWSTR wide(const QString &path) { return reinterpret_cast<LPCWSTR>(path.utf16()); }

qintptr openFolder(const QString &path, bool followLink)
{
    const HANDLE handle = CreateFileW(
        wide(path), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
    return reinterpret_cast<qintptr>(handle);
}

// The path `handle` resolved to ("\\?\C:\..."); empty when it cannot be told.
QString finalPath(HANDLE handle)
{
    constexpr DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    QString path(qsizetype(GetFinalPathNameByHandleW(handle, nullptr, 0, flags)), QChar());
    const DWORD length = path.isEmpty()
        ? 0
        : GetFinalPathNameByHandleW(handle, reinterpret_cast<LPWSTR>(path.data()), DWORD(path.size()), flags);
    return length > 0 && length < DWORD(path.size()) ? path.left(qsizetype(length)) : QString();
}

}  // namespace

Folder::~Folder()
{
    if (reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void Folder::hold(qintptr handle)
{
    const auto opened = reinterpret_cast<HANDLE>(handle);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        state_ = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? State::Missing : State::Refused;
        return;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(opened, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        handle_ = handle;
        state_ = State::Open;
    } else {
        CloseHandle(opened);
        state_ = State::Refused;
    }
}

Folder Folder::open(const QString &path, bool make)
{
    const QString native = QDir::toNativeSeparators(path);
    if (make)
        CreateDirectoryW(wide(native), nullptr);  // whatever stands there is judged below
    Folder folder;
    folder.hold(openFolder(native, true));
    if (folder.isOpen())
        folder.path_ = finalPath(reinterpret_cast<HANDLE>(folder.handle_));
    if (folder.isOpen() && folder.path_.isEmpty()) {
        Folder refused;
        refused.state_ = State::Refused;
        return refused;
    }
    return folder;
}

Folder Folder::sub(const QString &name, bool make) const
{
    Folder folder;
    folder.state_ = state_;
    if (!isOpen())
        return folder;
    const QString path = path_ + QLatin1Char('\\') + name;
    if (make)
        CreateDirectoryW(wide(path), nullptr);
    folder.hold(openFolder(path, false));
    folder.path_ = path;
    return folder;
}

Failure Folder::openFile(QFile &file, const QString &name) const
{
    if (!isOpen())
        return {Reason::CannotEnterFolder};
    const HANDLE handle = CreateFileW(wide(path_ + QLatin1Char('\\') + name), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {GetLastError() == ERROR_FILE_NOT_FOUND ? Reason::NotFound : Reason::CannotOpen};
    BY_HANDLE_FILE_INFORMATION info;
    const bool plain = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info)
        && !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
    const int fd = plain ? _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY) : -1;
    if (fd < 0) {
        CloseHandle(handle);
        return {Reason::NotRegularFile};
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        return {Reason::CannotOpen};
    }
    return {};
}

bool Folder::replaceFile(const QString &name, const QByteArray &bytes, const std::function<bool()> &proceed) const
{
    if (!isOpen())
        return false;
    const QString target = path_ + QLatin1Char('\\') + name;
    static std::atomic<unsigned> made{0};
    QString temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; handle == INVALID_HANDLE_VALUE && attempt < 8; ++attempt) {
        temporary = path_ + QLatin1Char('\\') + temporaryName(name, GetCurrentProcessId(), made++);
        // CREATE_NEW fails on any existing name, a link included.
        handle = CreateFileW(wide(temporary), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (error != ERROR_SUCCESS && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return false;
    }
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = proceed() && WriteFile(handle, bytes.constData(), DWORD(bytes.size()), &written, nullptr)
        && written == DWORD(bytes.size());
    ok =
        CloseHandle(handle) && ok && proceed() && MoveFileExW(wide(temporary), wide(target), MOVEFILE_REPLACE_EXISTING);
    if (!ok)
        DeleteFileW(wide(temporary));
    return ok;
}

int Folder::removeLeftTemporaries(qint64 age) const
{
    if (!isOpen())
        return 0;
    // The folder is held without FILE_SHARE_DELETE: the names below are in it.
    WIN32_FIND_DATAW found;
    const HANDLE listing = FindFirstFileExW(wide(path_ + QStringLiteral("\\*")), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE)
        return 0;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME time) { return (quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
    const quint64 before = ticks(now) - quint64(age) * 10000000;  // in 100 ns
    int removed = 0;
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        if (isTemporaryName(name)
            && !(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            && ticks(found.ftLastWriteTime) <= before)
            removed += DeleteFileW(wide(path_ + QLatin1Char('\\') + name)) ? 1 : 0;
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return removed;
}

}  // namespace rt::platform
