#include "runtime/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace rt::platform {

namespace {

bool isPseudoFileSystem(const QByteArray &type)
{
    static const QList<QByteArray> pseudo = {
        "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "debugfs",
        "tracefs", "pstore", "bpf", "mqueue", "hugetlbfs", "configfs", "fusectl", "binfmt_misc",
        "autofs", "overlay", "nsfs", "squashfs", "efivarfs", "rpc_pipefs", "ramfs"};
    return pseudo.contains(type);
}

} // namespace

QStringList drives()
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (root == QLatin1String("/") || !volume.isValid() || !volume.isReady()
            || isPseudoFileSystem(volume.fileSystemType()) || roots.contains(root))
            continue;
        if (root.startsWith(QLatin1String("/proc")) || root.startsWith(QLatin1String("/sys"))
            || root.startsWith(QLatin1String("/dev")) || root.startsWith(QLatin1String("/run")))
            continue;
        roots.append(root);
    }
    roots.sort();
    roots.prepend(QStringLiteral("/"));
    return roots;
}

QString driveOf(const QString &path)
{
    QString best = QStringLiteral("/");
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (const QString &root : drives()) {
        if (root.size() > best.size()
            && (absolute == root || absolute.startsWith(root + QLatin1Char('/'))))
            best = root;
    }
    return best;
}

bool isReadOnly(const QString &path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return (status.st_mode & S_IWUSR) == 0;
}

bool isFaithfulName(const QString &folder, const QString &name)
{
    // Bytes that are not valid UTF-8 come back from the listing as U+FFFD; the
    // name then spells another file (or none), never the one listed.
    if (!name.contains(QChar::ReplacementCharacter))
        return true;
    struct stat status;
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    return ::lstat(path.constData(), &status) == 0;
}

bool syncToDisk(QFile &file)
{
    return ::fsync(file.handle()) == 0;
}

void prepareProcess()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace rt::platform
