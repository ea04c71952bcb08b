#include "thumbnailing/ThumbnailCache.h"

#include "runtime/services/Platform.h"

ThumbnailCache &ThumbnailCache::shared()
{
    // About 1,300 thumbnails at their usual size, as many as the cells keep
    // around the view: the rest are found in the shared cache on disk.
    static ThumbnailCache cache(qint64(16) * 1024 * 1024);
    return cache;
}

QString ThumbnailCache::keyOf(const QString &path, QSize shown)
{
    const auto stamp = rt::platform::stampOf(path).value_or(rt::platform::FileStamp{-1, 0});
    return QStringLiteral("%1|%2|%3|%4x%5")
        .arg(path)
        .arg(stamp.size)
        .arg(stamp.modifiedMs)
        .arg(shown.width())
        .arg(shown.height());
}

std::optional<ThumbnailCache::Entry> ThumbnailCache::find(const QString &key) const
{
    const QMutexLocker lock(&mutex_);
    if (const Entry *entry = entries_.object(key))
        return *entry;
    return std::nullopt;
}

void ThumbnailCache::insert(const QString &key, const Entry &entry)
{
    const QMutexLocker lock(&mutex_);
    entries_.insert(key, new Entry(entry), qMax<qsizetype>(1, entry.image.sizeInBytes()));
}

void ThumbnailCache::clear()
{
    const QMutexLocker lock(&mutex_);
    entries_.clear();
}

qint64 ThumbnailCache::bytes() const
{
    const QMutexLocker lock(&mutex_);
    return entries_.totalCost();
}
