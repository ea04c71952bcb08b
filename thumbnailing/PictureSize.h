#pragma once

#include <QSize>
#include <QString>

// The size of the picture in `path` as shown (EXIF orientation applied), from
// its header alone, without decoding it; invalid when the header does not
// tell. For thumbnails that other programs wrote without it. Thread-safe.
QSize pictureSize(const QString &path);
