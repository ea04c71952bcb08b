#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <optional>

// Reads the small PNG files that other programs leave for us to trust no more
// than a picture (thumbnails in the desktop's shared cache): a regular file
// only, its size and its header's width and height checked before anything is
// decoded, every chunk inside the file and the file ending with its last chunk.
// Its text is read from tEXt, zTXt and iTXt chunks alike.
namespace rt {

namespace platform {
class Folder;
}

struct SmallPng
{
    QImage image;
    QHash<QString, QString> text;  // its text chunks, by keyword
};

// The bytes of the file `name` in `folder`, as long as it was when opened but
// its first `maxBytes` only, when it is itself a regular file (a link is not
// followed); nothing otherwise. Thread-safe.
std::optional<QByteArray> readSmallFile(const platform::Folder &folder, const QString &name, qint64 maxBytes);

// The width and height of `bytes` as a PNG of at most `maxSide` pixels a side,
// whose chunks are whole up to its end chunk; nothing otherwise. Nothing is
// inflated. Thread-safe.
std::optional<QSize> smallPngSize(const QByteArray &bytes, int maxSide);

// `bytes` as a PNG of at most `maxSide` pixels a side; nothing for anything
// else (truncated, damaged, not a PNG). Thread-safe.
std::optional<SmallPng> decodeSmallPng(const QByteArray &bytes, int maxSide);

}  // namespace rt
