// The POSIX side of the platform functions for names and the process (see
// Platform.h); drives and folder reading are in PlatformLinuxMounts.cpp, files
// are opened and copied in PlatformPosixFiles.cpp, the shared thumbnail
// cache's folders are held in PlatformPosixNoLinks.cpp.
#include "runtime/services/Platform.h"

#include <QFile>

#include <csignal>
#include <dirent.h>
#include <sys/stat.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace rt::platform {

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

void prepareProcess() { std::signal(SIGXFSZ, SIG_IGN); }

void releaseFreeMemory()
{
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

qint64 heapInUse()
{
#ifdef __GLIBC__
    const struct mallinfo2 heap = ::mallinfo2();
    return qint64(heap.uordblks + heap.hblkhd);  // small blocks, and those mapped on their own
#else
    return -1;
#endif
}

bool sortKeysOrderNumbers() { return true; }

}  // namespace rt::platform
