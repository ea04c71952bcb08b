#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <optional>

// Reads the small PNG files that other programs leave for us to trust no more
// than a picture (thumbnails in the desktop's shared cache): a regular file
// only, its size and its header's width and height checked before anything is
// decoded, every chunk inside the file and the file ending with its last chunk.
namespace rt {

struct SmallPng
{
    QImage image;
    QHash<QString, QString> text;  // its text chunks, by keyword
};

// `path` as a PNG of at most `maxSide` pixels a side and `maxBytes` bytes;
// nothing for anything else (missing, not a regular file, too large,
// truncated, damaged, not a PNG). Thread-safe.
std::optional<SmallPng> readSmallPng(const QString &path, int maxSide, qint64 maxBytes = qint64(4) << 20);

// The same from bytes already read.
std::optional<SmallPng> decodeSmallPng(const QByteArray &bytes, int maxSide);

} // namespace rt
