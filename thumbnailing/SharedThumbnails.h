#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

// One picture file's entry in the desktop's shared thumbnail cache (the
// freedesktop.org Thumbnail Managing Standard: $XDG_CACHE_HOME/thumbnails,
// ~/.cache/thumbnails by default), which file managers and other viewers read
// and write too. An entry is named by the MD5 of the file's URI and is valid
// while its URI and modification time match the file's, and its size where it
// gives one, whichever program wrote it. Whatever the cache holds is read as
// warily as a picture; whatever goes wrong with it (missing, stale, damaged,
// unwritable) only means the file is decoded as if there were no cache,
// without a word. A cache whose folders are links, or others' or writable by
// others, is not used at all.
class SharedThumbnail
{
public:
    struct Found
    {
        QImage image;       // fits the cache's square, aspect kept; null when none is usable
        QSize fileSize;     // the picture's own size, as shown
        bool kept = false;  // the desktop accepts the entry as it is: it is never replaced
    };

    // The entry of `path`; nothing when the file cannot be looked at or lies
    // inside the cache itself (the cache never holds thumbnails of thumbnails).
    static std::optional<SharedThumbnail> of(const QString &path);

    // The square the cache's thumbnails fit in for a cell of `shown` device
    // pixels: 128 ("normal") up to 128, 256 ("large") above.
    static int boxFor(QSize shown);

    // What the cache holds for a cell of `shown`.
    Found find(QSize shown) const;
    // Whether it holds a thumbnail that the desktop accepts and that covers a
    // cell of `shown`, told from the entry's header and keys alone: find()
    // would most likely give it, at the cost of inflating it.
    bool remembers(QSize shown) const;
    // Whether this program failed to decode the file as it is now.
    bool failedBefore() const;

    // Queue the file's thumbnail (fitting boxFor(shown)) or its failure mark
    // to be written on a thread of their own; the caller never waits, and
    // when that thread is behind, it is not written this time.
    void store(const QImage &thumbnail, QSize fileSize, QSize shown) const;
    void markFailed() const;

    // The cache's folders an entry may be in.
    enum class Place { Normal, Large, Failed };

    // Waits for the queued writes (tests, the benchmark).
    static void waitForWrites();
    // The cache's folders are checked afresh before the next read (a list
    // starts); reads keep using the folders they checked for a second at most.
    static void checkFoldersAgain();

    // The file URI as GLib spells it (g_filename_to_uri), byte for byte, so
    // that other programs find the same entry: the path's UTF-8 bytes ("/"
    // between names) percent-escaped, "file:///C:/..." before a drive letter.
    static QByteArray uriOf(const QString &absolutePath);
    // $XDG_CACHE_HOME/thumbnails.
    static QString cacheFolder();

private:
    SharedThumbnail() = default;
    void write(Place place, const QImage &image, QList<std::pair<QByteArray, QByteArray>> text) const;

    QString path_;
    QString root_;
    QByteArray uri_;
    QString name_;  // MD5 of the URI in hex, ".png"
    qint64 mtime_ = 0;
    qint64 size_ = 0;
};
