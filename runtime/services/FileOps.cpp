#include "runtime/services/FileOps.h"

#include "runtime/services/Failure.h"
#include "runtime/services/FileJobs.h"
#include "runtime/services/Platform.h"

#include <QFile>
#include <QFileInfo>

namespace rt {

namespace {

bool existsOrDangles(const QFileInfo &info) { return info.exists() || info.isSymLink(); }

// A path whose name came from a lossy decoding may spell another file.
bool namesFaithfully(const QString &path)
{
    const QFileInfo info(path);
    return platform::isFaithfulName(info.absolutePath(), info.fileName());
}

}  // namespace

void copyFile(const QString &source, const QString &destination, const CopyProgress &copied)
{
    auto refuse = [&](Failure why) { return RuntimeError(Action::Copy, source, std::move(why)); };
    if (source.isEmpty())
        throw refuse({Reason::NoFileGiven});
    if (destination.isEmpty())
        throw refuse({Reason::NoDestinationName});
    // The destination is made under exactly the name given; only an existing
    // name can have come from a lossy decoding.
    if (!namesFaithfully(source))
        throw refuse({Reason::UnfaithfulName});

    QFile in;
    if (Failure unreadable = platform::openRegularFile(in, source))
        throw refuse(std::move(unreadable));
    // Told early for a clear message; createCopy refuses a late one as well.
    if (existsOrDangles(QFileInfo(destination)))
        throw refuse({Reason::DestinationExists, destination});
    const auto progress = [&](qint64 done, qint64 total) {
        jobs::answered();
        if (copied)
            copied(done, total);
    };
    if (Failure failed = platform::createCopy(in, destination, progress))
        throw refuse(std::move(failed));
}

void deleteFile(const QString &path)
{
    auto refuse = [&](Failure why) { return RuntimeError(Action::Delete, path, std::move(why)); };
    const QFileInfo info(path);
    if (path.isEmpty())
        throw refuse({Reason::NoFileGiven});
    if (!existsOrDangles(info))
        throw refuse({Reason::NotFound});
    if (!namesFaithfully(path))
        throw refuse({Reason::UnfaithfulName});
    // A link goes as the link, whatever it points at; the checks below are
    // about the entry itself.
    if (!info.isSymLink()) {
        if (info.isDir())
            throw refuse({Reason::IsFolder});
        if (!info.isFile())
            throw refuse({Reason::NotRegularFile});
        if (platform::isReadOnly(path))
            throw refuse({Reason::ReadOnly});
    }
    QFile file(path);
    if (!file.remove())
        throw refuse({Reason::RemoveFailed, file.errorString()});
}

}  // namespace rt
