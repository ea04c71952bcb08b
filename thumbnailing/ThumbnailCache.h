#pragma once

#include <QCache>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

// Thumbnails decoded while a list is open, kept in memory only (nothing is
// written to disk), so that cells scrolled back into view decode nothing.
// Bounded in bytes, and emptied when the list closes. A file is known by its full path, size and modification time, so
// a changed file is decoded anew. For the user-interface thread only.
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
    void clear() { entries_.clear(); }
    qint64 bytes() const { return entries_.totalCost(); }

private:
    explicit ThumbnailCache(qint64 maxBytes) : entries_(maxBytes) {}

    QCache<QString, Entry> entries_;
};
