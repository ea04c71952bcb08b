#pragma once

#include "runtime/Picture.h"

#include <QString>

// The one picture loader of the program. Only regular files holding a BMP,
// JPEG, GIF or ICO picture (told by content, not by name) are decoded, and
// only when the header's size is within the memory cap.
namespace rt {

// The largest picture decoded at full size: 16384 x 16384, a little over 1 GiB
// as 32-bit pixels. Real photos of 100 megapixels and more fit.
constexpr qint64 kMaxPixels = qint64(16384) * 16384;

struct Decoded
{
    QImage image;       // null on failure
    QSize fileSize;     // the picture's size as the header gives it
    QString error;      // why it failed, in Japanese
};

// Decodes `path`. With a valid `fill`, decodes no larger than needed to cover
// `fill` (device pixels) and keeps the aspect ratio. Thread-safe.
Decoded decodePicture(const QString &path, QSize fill = QSize());

// Loads a picture as the windows use it: an empty path gives the empty
// picture, a file that cannot be shown throws RuntimeError naming it.
Picture loadPicture(const QString &path, QSize fill = QSize());

// Sets Qt's own allocation limit so that it never refuses what the cap allows.
void configureImageLimits();

} // namespace rt
