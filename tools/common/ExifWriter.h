#pragma once

#include <QByteArray>

namespace testart {

// What a camera writes into a photo's EXIF data, as far as viewers use it.
struct CameraExif
{
    int orientation = 1;  // 1 to 8; 0 leaves the tag out
    QByteArray make = "Pixmoor";
    QByteArray model = "Test Camera";
    QByteArray thumbnail;  // a JPEG, referred to from the second directory; empty: none
};

// `jpeg` with an EXIF segment (APP1) right after its start-of-image marker, as
// cameras write it: a little-endian TIFF structure whose first directory holds
// Make, Model and Orientation, and whose second directory points at the
// thumbnail (Compression 6, JPEGInterchangeFormat, JPEGInterchangeFormatLength).
// Empty when `jpeg` is no JPEG or the segment would exceed 64 KB.
QByteArray withCameraExif(const QByteArray &jpeg, const CameraExif &exif);

}  // namespace testart
