#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

// The small JPEG of itself that a camera or phone stores in a photo's EXIF
// data (usually 160 x 120). Decoding it costs a fraction of a millisecond
// where the photo costs tens, and for a list cell it is often enough. Only a
// cell uses it: slots and the large view show the picture itself.
struct ExifThumbnail
{
    QImage image;    // oriented as the picture is shown
    QSize fileSize;  // the picture's own size, as shown
};

// The thumbnail embedded in the JPEG file `jpeg` (its bytes from the start,
// at least up to the frame header), when it covers a cell of `shown` device
// pixels once oriented as the picture is, and has the picture's shape within
// 2 % (a thumbnail with bars for another shape has not). Nothing otherwise.
// Thread-safe.
std::optional<ExifThumbnail> exifThumbnail(const QByteArray &jpeg, QSize shown);
