#include "runtime/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

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

QString openRegularFile(QFile &file, const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return info.isSymLink() ? QStringLiteral("リンク先のファイルがありません。")
                                : QStringLiteral("ファイルが見つかりません。");
    if (info.isDir())
        return QStringLiteral("フォルダーです。画像ファイルではありません。");
    if (!info.isFile())
        return QStringLiteral("通常のファイルではありません。");
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("ファイルを開けません（%1）。").arg(file.errorString());
    // A device name such as "COM1.jpg" passes the checks above.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))) != FILE_TYPE_DISK) {
        file.close();
        return QStringLiteral("通常のファイルではありません。");
    }
    return QString();
}

QString createCopy(QFile &source, const QString &destination)
{
    // Renaming (MoveFileEx without MOVEFILE_REPLACE_EXISTING) never replaces.
    QTemporaryFile out(QFileInfo(destination).absolutePath() + QStringLiteral("/.pixmoor-copy-XXXXXX"));
    if (!out.open())
        return QStringLiteral("コピー先に書き込めません（%1）。").arg(out.errorString());
    if (!source.seek(0))
        return QStringLiteral("元のファイルを読めません（%1）。").arg(source.errorString());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0)
            return QStringLiteral("元のファイルを読めません（%1）。").arg(source.errorString());
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got)
            return QStringLiteral("書き込みに失敗しました（%1）。").arg(out.errorString());
    }
    if (!out.flush() || !syncToDisk(out))
        return QStringLiteral("書き込みに失敗しました（%1）。").arg(out.errorString());
    out.setPermissions(source.permissions());
    if (!out.rename(destination))
        return QStringLiteral("コピー先を作れません（%1）。").arg(out.errorString());
    out.setAutoRemove(false);
    return QString();
}

bool syncToDisk(QFile &file)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())));
}

void prepareProcess()
{
}

} // namespace rt::platform
