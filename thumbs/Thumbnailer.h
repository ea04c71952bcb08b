#pragma once

#include "runtime/Picture.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSize>
#include <QStringList>
#include <QThreadPool>
#include <atomic>

// The thumbnails of one list build. prefetch() has every file decoded on a
// pool of one thread per core (eight at most), in list order, each no larger
// than it is shown and stretched to fill it; take() hands out one file's
// thumbnail when the build gets there, keeping the windows painted (but taking
// no user input) while it waits. Decoded thumbnails go to the shared
// ThumbnailCache, and cached ones are not decoded again.
class Thumbnailer
{
public:
    explicit Thumbnailer(QSize shown);  // the thumbnail size in device pixels
    ~Thumbnailer();                     // drops the queued work, waits for the running

    void prefetch(const QStringList &paths);
    // The file's thumbnail, decoded here if it was never prefetched; the empty
    // picture when the file cannot be shown.
    rt::Picture take(const QString &path);

    // Files decoded since the program started; tests tell cache hits by it.
    static int decodeCount() { return decodes_; }

private:
    struct Result
    {
        QString cacheKey;
        QImage image;  // null when the file cannot be shown
        QSize fileSize;
    };
    Result decode(const QString &path) const;  // runs on any thread
    Result waitFor(const QString &path);

    const QSize shown_;
    QThreadPool pool_;
    QSet<QString> queued_;  // prefetched and not yet taken; user-interface thread only
    QMutex mutex_;
    QHash<QString, Result> finished_;  // guarded by mutex_
    static inline std::atomic<int> decodes_{0};
};
