#pragma once

#include "runtime/pictures/Picture.h"
#include "runtime/pictures/PictureLoader.h"

#include <QByteArray>
#include <QSize>
#include <QString>

// Pictures decoded for the program: every file from the user's folders in a
// decoder process (runtime/decoding/WorkerPool.h), the program's own built-in
// pictures in process.
namespace rt {

// Decodes `path`. With a valid `fill`, decodes no larger than needed to cover
// `fill` (device pixels) and keeps the aspect ratio; never larger than the
// picture itself. Thread-safe.
Decoded decodePicture(const QString &path, QSize fill = QSize());

// The same from bytes held in memory (a camera's thumbnail).
Decoded decodePictureBytes(const QByteArray &bytes, QSize fill = QSize());

// Loads a picture as the windows use it: an empty path gives the empty
// picture, a file that cannot be shown throws RuntimeError naming it.
Picture loadPicture(const QString &path, QSize fill = QSize());

}  // namespace rt
