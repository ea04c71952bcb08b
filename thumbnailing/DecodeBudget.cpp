#include "thumbnailing/DecodeBudget.h"

#include "runtime/pictures/PictureHeader.h"
#include "runtime/services/Platform.h"
#include "thumbnailing/Ending.h"

#include <QFile>
#include <QImageReader>
#include <QMutex>
#include <QWaitCondition>
#include <utility>

namespace {

struct Budget
{
    QMutex mutex;
    QWaitCondition freed;
    // Room for several large scans at once, and never a second 200-megapixel GIF.
    qint64 limit = qint64(512) * 1024 * 1024;
    qint64 claimed = 0;
    int running = 0;
    std::function<void(int)> watcher;
};

Budget &budget()
{
    static Budget shared;
    return shared;
}

// By what the decoder allocates, whatever the sign of the header's sides.
qint64 area(QSize reported)
{
    const QSize size = rt::header::allocatedSize(reported);
    return size.isValid() ? qint64(size.width()) * size.height() : 0;
}

} // namespace

DecodeClaim::DecodeClaim(qint64 bytes)
    : bytes_(qMax<qint64>(bytes, 0))
{
    Budget &shared = budget();
    QMutexLocker lock(&shared.mutex);
    if (bytes_ > 0) {
        while (!ending::now() && shared.running > 0 && shared.claimed + bytes_ > shared.limit)
            shared.freed.wait(&shared.mutex);
    }
    if (ending::now()) {  // checked under the lock endWaits() takes: no wake is missed
        bytes_ = 0;
        return;
    }
    granted_ = true;
    if (bytes_ == 0)
        return;
    shared.claimed += bytes_;
    const int running = ++shared.running;
    const auto watcher = shared.watcher;
    lock.unlock();
    if (watcher)
        watcher(running);
}

void DecodeClaim::endWaits()
{
    const QMutexLocker lock(&budget().mutex);
    budget().freed.wakeAll();
}

DecodeClaim::~DecodeClaim()
{
    if (bytes_ <= 0)
        return;
    Budget &shared = budget();
    const QMutexLocker lock(&shared.mutex);
    shared.claimed -= bytes_;
    --shared.running;
    shared.freed.wakeAll();
}

qint64 DecodeClaim::wholeBytes(const QString &path)
{
    QFile file;
    if (const rt::Failure unreadable = rt::platform::openRegularFile(file, path))
        return 0;
    const QByteArray format = rt::header::sniffFormat(file);
    qint64 pixels = 0;
    if (format == "gif") {
        pixels = area(rt::header::gifScreen(file, QSize()));
    } else if (format == "ico") {
        for (const rt::header::IconImage &icon : rt::header::iconImages(file))
            pixels = qMax(pixels, area(icon.size));
    } else if (format == "bmp") {
        file.seek(0);
        pixels = area(QImageReader(&file, "bmp").size());
    }
    return pixels * 4;
}

qint64 DecodeClaim::setBudget(qint64 bytes)
{
    const QMutexLocker lock(&budget().mutex);
    return std::exchange(budget().limit, bytes);
}

void DecodeClaim::setWatcher(std::function<void(int running)> watcher)
{
    const QMutexLocker lock(&budget().mutex);
    budget().watcher = std::move(watcher);
}
