// The POSIX side of the platform functions for drives, names and the process
// (see Platform.h); files are opened and copied in PlatformPosixFiles.cpp, the
// shared thumbnail cache's folders are held in PlatformPosixNoLinks.cpp.
#include "runtime/services/Platform.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <csignal>
#include <dirent.h>
#include <sys/stat.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

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
    // Bytes that are not valid UTF-8 come back from the listing as U+FFFD; any
    // other name decodes from exactly one spelling.
    if (!name.contains(QChar::ReplacementCharacter))
        return true;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    const QByteArray spelling = QFile::encodeName(name);
    int sharing = 0;
    bool spelledSo = false;
    while (const dirent *entry = ::readdir(dir)) {
        if (QFile::decodeName(entry->d_name) != name)
            continue;
        ++sharing;
        spelledSo = spelledSo || spelling == entry->d_name;
    }
    ::closedir(dir);
    // "\xff.jpg" and a real "\uFFFD.jpg" list alike: neither may be acted on.
    return spelledSo && sharing == 1;
}

void reachParentConsole() {}  // a terminal's program has its streams already

void prepareProcess()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

void releaseFreeMemory()
{
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

} // namespace rt::platform
