#include "thumbs/Thumbnailer.h"

#include "thumbs/CellPicture.h"
#include "thumbs/ThumbnailCache.h"

#include <QCoreApplication>
#include <QThread>

Thumbnailer::Thumbnailer(QSize shown)
    : shown_(shown)
{
    // One thread per core, but no more than eight: a BMP or GIF is decoded
    // whole before it is scaled, and each thread may hold one that large.
    pool_.setMaxThreadCount(qBound(1, QThread::idealThreadCount(), 8));
}

Thumbnailer::~Thumbnailer()
{
    pool_.clear();
    pool_.waitForDone();
}

void Thumbnailer::prefetch(const QStringList &paths)
{
    ThumbnailCache &cache = ThumbnailCache::shared();
    for (const QString &path : paths) {
        if (queued_.contains(path))
            continue;
        queued_.insert(path);
        const QString key = ThumbnailCache::keyOf(path, shown_);
        if (const auto cached = cache.find(key)) {
            const QMutexLocker lock(&mutex_);
            finished_.insert(path, Result{key, cached->image, cached->fileSize});
            continue;
        }
        pool_.start([this, path] {
            Result result = decode(path);
            {
                const QMutexLocker lock(&mutex_);
                finished_.insert(path, std::move(result));
            }
            // Wakes the build if it waits for this file.
            QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
        });
    }
}

rt::Picture Thumbnailer::take(const QString &path)
{
    Result result;
    if (queued_.remove(path)) {
        result = waitFor(path);
    } else {
        result.cacheKey = ThumbnailCache::keyOf(path, shown_);
        if (const auto cached = ThumbnailCache::shared().find(result.cacheKey))
            result = Result{result.cacheKey, cached->image, cached->fileSize};
        else
            result = decode(path);
    }
    if (result.image.isNull())
        return rt::Picture();
    ThumbnailCache::shared().insert(result.cacheKey, {result.image, result.fileSize});
    return rt::Picture(result.image, result.fileSize);
}

Thumbnailer::Result Thumbnailer::waitFor(const QString &path)
{
    QMutexLocker lock(&mutex_);
    while (!finished_.contains(path)) {
        lock.unlock();
        // Paints and runs timers, but leaves clicks and keys queued until the
        // build is done. Every finished decode posts an event, so this wakes.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
        lock.relock();
    }
    return finished_.take(path);
}

Thumbnailer::Result Thumbnailer::decode(const QString &path) const
{
    ++decodes_;
    Result result;
    // Keyed before reading, so that a file changed meanwhile is read again next time.
    result.cacheKey = ThumbnailCache::keyOf(path, shown_);
    const CellPicture decoded = cellPicture(path, shown_);
    if (decoded.image.isNull())
        return result;
    // Stretched once, so that painting only copies. Opaque pictures take
    // three bytes a pixel: thumbnails are most of the list's memory.
    const QImage &image = decoded.image;
    result.image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                  : QImage::Format_RGB888);
    result.fileSize = decoded.fileSize;
    return result;
}
