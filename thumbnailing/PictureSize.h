#pragma once

#include <QSize>
#include <QString>

class QIODevice;

// The size of the picture in `path` as shown (EXIF orientation applied), from
// its header alone, without decoding it; invalid when the header does not
// tell. For thumbnails that other programs wrote without it. Thread-safe.
QSize pictureSize(const QString &path);
// The same for the picture on `file`, read from its start (seekable).
QSize pictureSize(QIODevice &file);
