#pragma once

#include <QCache>
#include <QImage>
#include <QMutex>
#include <QSize>
#include <QString>
#include <optional>

// Thumbnails decoded while a list is open, kept in memory only (nothing is
// written to disk), so that cells scrolled back into view decode nothing.
// Bounded in bytes, and emptied when the list closes. A file is known by its
// full path, size and modification time, so a changed file is decoded anew.
// Thread-safe: the decoding threads look a file up, as that asks the file
// system for its size and time.
class ThumbnailCache
{
public:
    struct Entry
    {
        QImage image;
        QSize fileSize;  // the picture's own size
    };

    static ThumbnailCache &shared();

    // The key of `path`'s current content at the thumbnail size `shown`. Thread-safe.
    static QString keyOf(const QString &path, QSize shown);

    std::optional<Entry> find(const QString &key) const;
    void insert(const QString &key, const Entry &entry);
    void clear();
    qint64 bytes() const;

private:
    explicit ThumbnailCache(qint64 maxBytes) : entries_(maxBytes) {}

    mutable QMutex mutex_;  // guards entries_, whose look-ups reorder it
    QCache<QString, Entry> entries_;
};
