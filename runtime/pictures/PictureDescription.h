#pragma once

#include "runtime/pictures/PictureHeader.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

class QIODevice;

// What a picture file says about itself, read once from its header before
// anything is decoded: which of the formats it is (PictureFormats.h), the size it is
// shown at, how its decoder can decode it, and so what a decode costs. The
// loader's plan, the size recorded with a shared thumbnail and the decode
// budget all take it from here, so that they cannot disagree.
namespace rt {

struct PictureDescription
{
    QByteArray format;               // Qt's name of its format (PictureFormats.h); empty for any other file
    QSize decoded;                   // what its decoder allocates at full size, before the EXIF orientation
                                     // (a GIF: its logical screen); invalid when the header does not tell
    QSize shown;                     // the picture's size as shown: orientation applied, an icon's largest image
    bool rotated = false;            // the EXIF orientation swaps width and height
    bool oriented = false;           // the EXIF orientation changes anything: the decoder turns a copy
    bool scalable = false;           // the decoder itself decodes smaller, at less cost (every JPEG)
    int bytesPerPixel = 4;           // of the image the decoder allocates
    int scans = 0;                   // a JPEG's scans, when counted (else 1 once its first is found)
    qint64 decoderBytes = 0;         // what its decoder holds besides the picture: a JPEG decoded
                                     // in several scans keeps every coefficient
    QList<header::IconImage> icons;  // an icon's images, in directory order
};

// Reads the header of the picture on `device` (seekable), from its start,
// with its format's reader (PictureFormats.cpp). What a decode costs is known
// at a JPEG's first scan; only the decoder's own plan counts them all, which
// reads a progressive one to its end.
PictureDescription describePicture(QIODevice &device, header::ScanCount scans = header::ScanCount::UpToFirst);
// The same for a regular file; a file that cannot be opened describes no picture.
PictureDescription describePicture(const QString &path);

// The size that covers `fill` with the picture's aspect ratio; invalid when
// the picture is not larger than that, so nothing is ever enlarged.
QSize coverSize(QSize picture, QSize fill);

// The size a picture decoded whole as `decoded` is shrunk to for `fill`
// afterwards; invalid when it is kept as decoded.
QSize shrinkSize(QSize decoded, QSize fill);

// An icon's images to try for `fill`, best first: for a full-size picture
// the largest (then deepest), for a thumbnail the smallest that covers it.
// Images over the loader's cap are left out.
QList<int> iconAttempts(const PictureDescription &picture, QSize fill);

// The most memory a decode of the picture for `fill` (invalid: full size)
// holds at once: the pixels at the size decoded, the coefficients of a JPEG
// in several scans, the turned copy of an oriented one and the copy a shrink
// afterwards makes. 0 for what is no picture of the formats.
qint64 decodeBytes(const PictureDescription &picture, QSize fill);

}  // namespace rt
