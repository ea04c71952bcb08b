#pragma once

#include "runtime/services/Reason.h"

#include <QImage>
#include <QString>

class QFile;
class QIODevice;

// The one picture loader of the program. Only regular files holding a BMP,
// JPEG, GIF or ICO picture (told by content, not by name) are decoded, each
// by its own decoder and no other, and only when what the header promises
// fits the memory caps below, checked before decoding whatever Qt's own
// allocation limit or environment says.
namespace rt {

// The largest picture decoded at full size: 200 megapixels, 800 MB as 32-bit
// pixels. Camera photos of 100 megapixels and more fit.
constexpr qint64 kMaxPixels = 200'000'000;

// A thumbnail of a single-scan JPEG is decoded at an eighth of its size or
// less, so a larger one is still shown small: up to about 32768 x 32768.
constexpr qint64 kMaxScaledPixels = qint64(1) << 30;

// A JPEG decoded in several scans (progressive ones) keeps every coefficient
// of the picture in memory besides the picture itself.
constexpr qint64 kMaxCoefficientBytes = qint64(1) << 30;

// Real JPEGs have a dozen scans at most; each costs a pass over the picture,
// so a small file with thousands would take minutes.
constexpr int kMaxJpegScans = 100;

struct Decoded
{
    QImage image;       // null on failure
    QSize fileSize;     // the picture's size as shown at full size (EXIF orientation applied)
    Failure error;      // why it failed; no failure when the image is there
};

// Decodes content already open (seekable, read from its start). With a valid
// `fill`, decodes no larger than needed to cover `fill` (device pixels) and
// keeps the aspect ratio; never larger than the picture itself. Thread-safe.
Decoded decodePictureData(QIODevice &device, QSize fill = QSize());

// The same from an open file, read from its start.
Decoded decodePictureFile(QFile &file, QSize fill = QSize());

// Sets Qt's and libjpeg's own limits so that they back up the caps above and
// never refuse what the caps allow. Called once at start-up.
void configureImageLimits();

} // namespace rt
