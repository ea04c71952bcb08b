#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <utility>

// The PNG files of the shared thumbnail cache, chunk by chunk, written here:
// the desktop's own reader (GLib's, behind GTK's file chooser and GNOME's
// file manager) looks for the keys in uncompressed tEXt chunks only, which
// Qt's PNG writer compresses from 40 characters on (zTXt), and Qt's writer
// loads every image plugin into the program's process.
namespace thumbnailpng {

using Text = QList<std::pair<QByteArray, QByteArray>>;  // keyword, Latin-1 value

// `image` as an 8-bit RGB or RGBA PNG whose only text is `text`, each pair
// one tEXt chunk right after the header. Empty when it cannot be encoded.
QByteArray encode(const QImage &image, const Text &text);

// Whether GLib takes `png` for the valid thumbnail of the file with `uri`,
// modification time `mtime` (seconds) and `size` (bytes): its tEXt chunks
// name that URI and time, and that size if they give one. The same reading as
// GLib's, chunk for chunk, so that what it accepts is never replaced.
bool desktopAccepts(const QByteArray &png, const QByteArray &uri, qint64 mtime, qint64 size);

}  // namespace thumbnailpng
