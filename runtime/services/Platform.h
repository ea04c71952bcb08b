#pragma once

#include "runtime/services/CopyProgress.h"
#include "runtime/services/Reason.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

class QFile;

// What differs between operating systems, behind one small interface.
// PlatformPosix*.cpp serve Linux and macOS, PlatformWindows*.cpp Windows.
namespace rt::platform {

// The drives the drive list offers: on Windows the drive letters ("C:\"), on
// POSIX systems the mounted volumes with "/" first. Read from the system's
// table of mounts or drives: no drive is asked anything, so a dead network
// mount is listed as any other.
QStringList drives();

// The drive (volume root) a path lies on, as drives() spells it; on POSIX a
// mount that drives() leaves out (one under /run) is its own. Told from the
// path's spelling and the mount table alone: no link is followed.
QString driveOf(const QString &path);

// POSIX: reads the mounts from `path` (a file laid out as Linux's
// /proc/self/mountinfo) from now on, the system's own table when empty. For
// tests; Windows has no such table.
void useMountTable(const QString &path);

// What a folder entry is, as far as the folder's listing tells. Unsure: a
// link, or a listing that gives no types (some network file systems); kindOf()
// asks the file system.
enum class EntryKind { File, Folder, Unsure, Other };
EntryKind kindOf(const QString &path);  // after following links; Other when it cannot tell

// Reads a folder's entries a few at a time, hidden ones (names from "." on
// POSIX, the hidden attribute on Windows) left out. Every call waits on the
// file system: never on the interface thread.
class FolderReader
{
public:
    struct Entry
    {
        QString name;
        EntryKind kind;
    };
    explicit FolderReader(const QString &folder);
    ~FolderReader();
    FolderReader(const FolderReader &) = delete;
    FolderReader &operator=(const FolderReader &) = delete;

    bool isOpen() const { return handle_ != nullptr; }
    // Up to `most` more entries; none at the end.
    QList<Entry> next(int most);

private:
    void *handle_ = nullptr;
};

// A regular file's size and the time it was last changed, in milliseconds
// since 1970 (UTC), links followed; nothing for anything else. Read without
// the local time zone: glibc looks it up again, under one lock for all
// threads, at each conversion, and the thumbnail list asks this of every file.
struct FileStamp
{
    qint64 size = 0;
    qint64 modifiedMs = 0;
};
std::optional<FileStamp> stampOf(const QString &path);

// Whether the user has protected the file against change: the read-only
// attribute on Windows, a missing owner write bit on POSIX. Judged from the
// file's own bits, so that it holds for root too.
bool isReadOnly(const QString &path);

// False for a listed name that does not name the file on disk faithfully
// (a name whose bytes are no valid text in the file system's encoding, or
// that two entries of the folder share once decoded); such a name must never
// be opened, copied or deleted.
bool isFaithfulName(const QString &folder, const QString &name);

// Opens `path` for reading when it is, after following links, a regular file.
// Named pipes, devices, sockets and folders are refused before they are opened
// for reading, so nothing blocks and no device is touched; the opened file is
// checked again, so one swapped in meanwhile is refused too. Returns no
// failure (false in a condition) on success, otherwise why not.
Failure openRegularFile(QFile &file, const QString &path);

// A folder of the shared thumbnail cache, which holds files that other
// programs write and where a link may have been planted. It is held open
// while it is used, and every name in it is looked up from it: what is read
// or written happens in the folder that was checked, even when a link is put
// in its place meanwhile. Below the root no link is ever followed. Move-only;
// closed when destroyed.
class Folder
{
public:
    // Open: a real folder owned by this user and not writable by group or
    // others (Windows: not a link; folders under the user's profile carry the
    // user's own access list). Missing: it does not exist, or its parent does
    // not. Refused: anything else; nothing may be read or written through it.
    enum class State { Missing, Refused, Open };

    Folder() = default;
    Folder(Folder &&other) noexcept { swap(other); }
    Folder &operator=(Folder &&other) noexcept
    {
        swap(other);
        return *this;
    }
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    ~Folder();

    // The folder at `path`, which may itself be reached through a link. With
    // `make`, a missing one is first created readable by the owner only (its
    // parent must exist).
    static Folder open(const QString &path, bool make);
    // The folder `name` in this one, itself not a link; Missing or Refused
    // as this one is when this one is not open.
    Folder sub(const QString &name, bool make) const;

    State state() const { return state_; }
    bool isOpen() const { return state_ == State::Open; }

    // Opens the file `name` in this folder for reading only when it is itself
    // a regular file: a link is refused rather than followed, and the open
    // file is what is checked, so nothing swapped in meanwhile is read.
    // Returns no failure (false in a condition) on success, as
    // openRegularFile does, otherwise why not.
    Failure openFile(QFile &file, const QString &name) const;

    // Puts `bytes` in place as `name` in this folder: written to a temporary
    // file beside it (a counter makes its name new; a name taken by a file
    // left behind is passed over), created exclusively without following a
    // link and readable by the owner only, then renamed onto `name`, which
    // replaces a link found there, not its target. `proceed` is asked after
    // each step; when it says no, or on any failure, the temporary file is
    // removed and `name` is left as it was. True when `name` now holds `bytes`.
    bool replaceFile(const QString &name, const QByteArray &bytes, const std::function<bool()> &proceed) const;

    // Removes the temporary files replaceFile left in this folder that were
    // last written `age` seconds ago or more: a writer killed between its
    // steps (or ended past its deadline) leaves one for good. Only regular
    // files of the user's named as temporaryName() names them; a link is never
    // followed, and anything else is left alone. Returns how many went.
    int removeLeftTemporaries(qint64 age) const;

    // replaceFile's temporary name for `name`: "<name>.pixmoor-<process>-<n>".
    static QString temporaryName(const QString &name, qint64 process, unsigned n)
    {
        return name + QStringLiteral(".pixmoor-%1-%2").arg(process).arg(n);
    }
    static bool isTemporaryName(const QString &name)
    {
        const qsizetype mark = name.lastIndexOf(QLatin1String(".pixmoor-"));
        const QStringList numbers = mark > 0 ? name.mid(mark + 9).split(QLatin1Char('-')) : QStringList();
        const auto number = [](const QString &text) {
            return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
        };
        return numbers.size() == 2 && number(numbers[0]) && number(numbers[1]);
    }

private:
    void hold(qintptr handle);  // judges a just opened handle, and keeps it when open
    void swap(Folder &other) noexcept
    {
        std::swap(state_, other.state_);
        std::swap(handle_, other.handle_);
        std::swap(path_, other.path_);
    }

    State state_ = State::Missing;
    qintptr handle_ = -1;  // a descriptor on POSIX, a HANDLE on Windows
    QString path_;         // Windows: what the names in it are built on
};

// Creates `destination` holding the whole of `source` (open, read from its
// start), with the source's permission bits. An existing file or link of that
// name is never replaced, even one that appears while copying: the content is
// written to a nameless (or hidden temporary) file in the destination's
// folder, forced to disk, and only then given the name. On failure nothing is
// left behind. Returns no failure on success, otherwise why not
// (Reason::DestinationExists when the name is taken). `copied`, when given, is
// told after each block written.
Failure createCopy(QFile &source, const QString &destination, const CopyProgress &copied = {});

// Forces a written file to the disk; false on failure.
bool syncToDisk(QFile &file);

// A program without a console window of its own (Windows) writes what it
// prints to the console it was started from, unless its output is redirected.
void reachParentConsole();

// Process-wide settings made once at start-up (a write past the file-size
// limit must fail with an error, not end the program).
void prepareProcess();

// Whether collation sort keys order numbers by value, as the file-name order
// needs: Qt's keys on Windows (without ICU) come from the system's, which do
// not, under Wine at least, so names are compared one pair at a time there.
bool sortKeysOrderNumbers();

// Gives the heap's free pages back to the system, where the C library keeps
// them otherwise (glibc); nothing elsewhere.
void releaseFreeMemory();
// Bytes the heap has handed out and not had back (glibc); -1 where the C
// library does not say.
qint64 heapInUse();

}  // namespace rt::platform
