// The POSIX side of drives(), driveOf() and folder reading (see Platform.h).
// Mounts come from the kernel's table, never from the mounts themselves: a
// statfs() on a dead network mount never returns.
#include "runtime/services/Platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>

#include <dirent.h>
#include <sys/stat.h>
#ifdef __APPLE__
#include <sys/mount.h>
#include <sys/param.h>
#endif

namespace rt::platform {

namespace {

struct Mount
{
    QString point;
    QByteArray type;
};

bool isPseudoFileSystem(const QByteArray &type)
{
    static const QList<QByteArray> pseudo = {"proc",       "sysfs",    "devtmpfs", "devpts",      "cgroup", "cgroup2",
                                             "securityfs", "debugfs",  "tracefs",  "pstore",      "bpf",    "mqueue",
                                             "hugetlbfs",  "configfs", "fusectl",  "binfmt_misc", "autofs", "overlay",
                                             "nsfs",       "squashfs", "efivarfs", "rpc_pipefs",  "ramfs"};
    return pseudo.contains(type);
}

// The table spells a space, tab, line break and backslash in a mount point
// as three octal digits after a backslash.
QByteArray unescaped(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        bool octal = false;
        const int code = field[i] == '\\' ? field.mid(i + 1, 3).toInt(&octal, 8) : 0;
        if (octal && i + 3 < field.size()) {
            out.append(char(code));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

constexpr char kSystemTable[] = "/proc/self/mountinfo";

QList<Mount> readTable(const QString &tableFile)
{
    QList<Mount> mounts;
#ifdef __APPLE__
    if (tableFile == QLatin1String(kSystemTable)) {
        // MNT_NOWAIT: what the kernel holds, no file system is asked.
        const int count = ::getfsstat(nullptr, 0, MNT_NOWAIT);
        QList<struct statfs> table(qMax(count, 0));
        const int got = ::getfsstat(table.data(), int(table.size() * sizeof(struct statfs)), MNT_NOWAIT);
        for (int i = 0; i < got; ++i)
            mounts.append({QFile::decodeName(table[i].f_mntonname), QByteArray(table[i].f_fstypename)});
        return mounts;
    }
#endif
    // Reading the table is answered by the kernel alone.
    QFile table(tableFile);
    if (!table.open(QIODevice::ReadOnly))
        return mounts;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 6 || dash + 1 >= fields.size())
            continue;
        mounts.append({QFile::decodeName(unescaped(fields[4])), fields[dash + 1]});
    }
    return mounts;
}

// The table is read again at most once a second: driveOf() runs for every job.
struct Cache
{
    QMutex mutex;
    QString table = QString::fromLatin1(kSystemTable);
    QList<Mount> mounts;
    QElapsedTimer age;
};

Cache &cache()
{
    static Cache *instance = new Cache;  // jobs may still ask after main() returned
    return *instance;
}

QList<Mount> mounts()
{
    Cache &c = cache();
    const QMutexLocker lock(&c.mutex);
    if (!c.age.isValid() || c.age.hasExpired(1000)) {
        c.mounts = readTable(c.table);
        c.age.start();
    }
    return c.mounts;
}

bool isSystemPlace(const QString &point)
{
    for (const char *place : {"/proc", "/sys", "/dev", "/run"}) {
        const QString root = QLatin1String(place);
        if (point == root || point.startsWith(root + QLatin1Char('/')))
            return true;
    }
    return false;
}

}  // namespace

void useMountTable(const QString &path)
{
    Cache &c = cache();
    const QMutexLocker lock(&c.mutex);
    c.table = path.isEmpty() ? QString::fromLatin1(kSystemTable) : path;
    c.age.invalidate();
}

QStringList drives()
{
    QStringList roots;
    for (const Mount &mount : mounts()) {
        if (mount.point == QLatin1String("/") || isPseudoFileSystem(mount.type) || isSystemPlace(mount.point)
            || roots.contains(mount.point))
            continue;
        roots.append(mount.point);
    }
    roots.sort();
    roots.prepend(QStringLiteral("/"));
    return roots;
}

QString driveOf(const QString &path)
{
    // Only the spelling counts: no link is followed, nothing is asked.
    const QString absolute =
        QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path);
    QString best = QStringLiteral("/");
    for (const Mount &mount : mounts()) {
        const QString &root = mount.point;
        if (root.size() > best.size() && !isPseudoFileSystem(mount.type)
            && (absolute == root || absolute.startsWith(root + QLatin1Char('/'))))
            best = root;
    }
    return best;
}

FolderReader::FolderReader(const QString &folder) : handle_(::opendir(QFile::encodeName(folder).constData())) {}

FolderReader::~FolderReader()
{
    if (handle_)
        ::closedir(static_cast<DIR *>(handle_));
}

QList<FolderReader::Entry> FolderReader::next(int most)
{
    QList<Entry> entries;
    while (handle_ && entries.size() < most) {
        const dirent *entry = ::readdir(static_cast<DIR *>(handle_));
        if (!entry)
            break;
        if (entry->d_name[0] == '.')
            continue;  // hidden, and "." and ".."
        EntryKind kind = EntryKind::Other;
        switch (entry->d_type) {
        case DT_REG:
            kind = EntryKind::File;
            break;
        case DT_DIR:
            kind = EntryKind::Folder;
            break;
        case DT_LNK:
        case DT_UNKNOWN:
            kind = EntryKind::Unsure;
            break;
        default:
            break;  // pipes, devices, sockets
        }
        entries.append({QFile::decodeName(entry->d_name), kind});
    }
    return entries;
}

EntryKind kindOf(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return EntryKind::Other;  // a dangling link among them
    return S_ISREG(status.st_mode) ? EntryKind::File : S_ISDIR(status.st_mode) ? EntryKind::Folder : EntryKind::Other;
}

}  // namespace rt::platform
