#include "runtime/FileOps.h"

#include "runtime/Failure.h"
#include "runtime/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace rt {

namespace {

const QString kCopyFailed = QStringLiteral("コピーできませんでした。");
const QString kDeleteFailed = QStringLiteral("削除できませんでした。");

bool existsOrDangles(const QFileInfo &info)
{
    return info.exists() || info.isSymLink();
}

} // namespace

void copyFile(const QString &source, const QString &destination)
{
    const QFileInfo from(source);
    if (source.isEmpty())
        throw RuntimeError(kCopyFailed, QString(), QStringLiteral("コピーするファイルがありません。"));
    if (!from.exists())
        throw RuntimeError(kCopyFailed, source, QStringLiteral("ファイルが見つかりません。"));
    if (!from.isFile())
        throw RuntimeError(kCopyFailed, source, QStringLiteral("通常のファイルではありません。"));
    if (existsOrDangles(QFileInfo(destination)))
        throw RuntimeError(kCopyFailed, source,
                           QStringLiteral("コピー先に同じ名前のファイルがあります: %1")
                               .arg(QDir::toNativeSeparators(destination)));

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw RuntimeError(kCopyFailed, source, in.errorString());

    // Written beside the destination under a temporary name and renamed into
    // place only when complete; QFile::rename never replaces an existing file.
    QTemporaryFile out(QFileInfo(destination).absolutePath() + QStringLiteral("/.pixmoor-copy-XXXXXX"));
    if (!out.open())
        throw RuntimeError(kCopyFailed, source,
                           QStringLiteral("コピー先に書き込めません: %1").arg(out.errorString()));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0)
            throw RuntimeError(kCopyFailed, source, in.errorString());
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got)
            throw RuntimeError(kCopyFailed, source,
                               QStringLiteral("書き込みに失敗しました: %1").arg(out.errorString()));
    }
    if (!out.flush() || !platform::syncToDisk(out))
        throw RuntimeError(kCopyFailed, source,
                           QStringLiteral("書き込みに失敗しました: %1").arg(out.errorString()));
    out.setPermissions(from.permissions());
    if (!out.rename(destination))
        throw RuntimeError(kCopyFailed, source,
                           QStringLiteral("コピー先を作れません: %1").arg(out.errorString()));
    out.setAutoRemove(false);
}

void deleteFile(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty())
        throw RuntimeError(kDeleteFailed, QString(), QStringLiteral("削除するファイルがありません。"));
    if (!existsOrDangles(info))
        throw RuntimeError(kDeleteFailed, path, QStringLiteral("ファイルが見つかりません。"));
    if (info.isDir() && !info.isSymLink())
        throw RuntimeError(kDeleteFailed, path, QStringLiteral("フォルダーは削除できません。"));
    if (!info.isSymLink() && platform::isReadOnly(path))
        throw RuntimeError(kDeleteFailed, path, QStringLiteral("読み取り専用のファイルです。"));
    QFile file(path);
    if (!file.remove())
        throw RuntimeError(kDeleteFailed, path, file.errorString());
}

} // namespace rt
