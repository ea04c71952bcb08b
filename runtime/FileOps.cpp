#include "runtime/FileOps.h"

#include "runtime/Failure.h"
#include "runtime/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rt {

namespace {

const QString kCopyFailed = QStringLiteral("コピーできませんでした。");
const QString kDeleteFailed = QStringLiteral("削除できませんでした。");

bool existsOrDangles(const QFileInfo &info)
{
    return info.exists() || info.isSymLink();
}

// A path whose name came from a lossy decoding may spell another file.
bool namesFaithfully(const QString &path)
{
    const QFileInfo info(path);
    return platform::isFaithfulName(info.absolutePath(), info.fileName());
}

} // namespace

void copyFile(const QString &source, const QString &destination)
{
    if (source.isEmpty())
        throw RuntimeError(kCopyFailed, QString(), QStringLiteral("コピーするファイルがありません。"));
    if (destination.isEmpty())
        throw RuntimeError(kCopyFailed, source, QStringLiteral("コピー先の名前がありません。"));
    // The destination is made under exactly the name given; only an existing
    // name can have come from a lossy decoding.
    if (!namesFaithfully(source))
        throw RuntimeError(kCopyFailed, source, QStringLiteral("ファイル名を正しく読み取れません。"));

    QFile in;
    const QString unreadable = platform::openRegularFile(in, source);
    if (!unreadable.isEmpty())
        throw RuntimeError(kCopyFailed, source, unreadable);
    // Told early for a clear message; createCopy refuses a late one as well.
    if (existsOrDangles(QFileInfo(destination)))
        throw RuntimeError(kCopyFailed, source,
                           QStringLiteral("コピー先に同じ名前のファイルがあります: %1")
                               .arg(QDir::toNativeSeparators(destination)));
    const QString failure = platform::createCopy(in, destination);
    if (!failure.isEmpty())
        throw RuntimeError(kCopyFailed, source, failure);
}

void deleteFile(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty())
        throw RuntimeError(kDeleteFailed, QString(), QStringLiteral("削除するファイルがありません。"));
    if (!existsOrDangles(info))
        throw RuntimeError(kDeleteFailed, path, QStringLiteral("ファイルが見つかりません。"));
    if (!namesFaithfully(path))
        throw RuntimeError(kDeleteFailed, path, QStringLiteral("ファイル名を正しく読み取れません。"));
    // A link goes as the link, whatever it points at; the checks below are
    // about the entry itself.
    if (!info.isSymLink()) {
        if (info.isDir())
            throw RuntimeError(kDeleteFailed, path, QStringLiteral("フォルダーは削除できません。"));
        if (!info.isFile())
            throw RuntimeError(kDeleteFailed, path, QStringLiteral("通常のファイルではありません。"));
        if (platform::isReadOnly(path))
            throw RuntimeError(kDeleteFailed, path, QStringLiteral("読み取り専用のファイルです。"));
    }
    QFile file(path);
    if (!file.remove())
        throw RuntimeError(kDeleteFailed, path, file.errorString());
}

} // namespace rt
