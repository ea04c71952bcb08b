#pragma once

#include <QCache>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

// Thumbnails decoded during this run, kept in memory only (nothing is written
// to disk), so that building the same list again decodes nothing. Bounded in
// bytes. A file is known by its full path, size and modification time, so a
// changed file is decoded anew. For the user-interface thread only.
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

private:
    explicit ThumbnailCache(qint64 maxBytes) : entries_(maxBytes) {}

    QCache<QString, Entry> entries_;
};
