#pragma once

#include "runtime/pictures/PictureLoader.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <functional>
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
// The thumbnail's own bytes are decoded by `decode` (in process when none is
// given). Thread-safe.
using BytesDecoder = std::function<rt::Decoded(const QByteArray &bytes)>;
std::optional<ExifThumbnail> exifThumbnail(const QByteArray &jpeg, QSize shown, const BytesDecoder &decode = {});
