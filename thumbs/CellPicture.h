#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// A list cell's picture, from the cheapest source that is good enough: the
// desktop's shared thumbnail cache, then the thumbnail a camera embedded in
// the file, then decoding the file (whose thumbnail then goes to the shared
// cache, or its failure mark when it cannot be decoded).
struct CellPicture
{
    QImage image;    // stretched to the cell; null when the file cannot be shown
    QSize fileSize;  // the picture's own size, as shown
};

// The picture of `path` for a cell of `shown` device pixels. Thread-safe.
CellPicture cellPicture(const QString &path, QSize shown);

// Whether cells may use cameras' embedded thumbnails (they do; the benchmark
// turns them off to measure what they save).
void setEmbeddedThumbnailsUsed(bool used);
