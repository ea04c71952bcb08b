#include "runtime/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool syncToDisk(QFile &file)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())));
}

void prepareProcess()
{
}

} // namespace rt::platform
