#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// One cell's picture, from the cheapest source that is good enough: the
// desktop's shared thumbnail cache, then the thumbnail a camera embedded in
// the file, then the file decoded no larger than needed (its thumbnail then
// goes to the shared cache, or its failure mark when it cannot be decoded).
// At least as large as the cell each way where the picture is, its shape
// kept: how a cell shows it is the cell's to say (ThumbnailQueue's Shape).
struct Thumbnail
{
    QImage image;    // null when the file cannot be shown
    QSize fileSize;  // the picture's own size, as shown
};

// Makes the thumbnail of `path` for a cell of `shown` device pixels.
// Thread-safe; reads the file as it is now.
Thumbnail makeThumbnail(const QString &path, QSize shown);

// Whether makeThumbnail would take the shared cache's thumbnail of `path`,
// told without decoding it: for a cell whose picture is not wanted yet.
bool thumbnailRemembered(const QString &path, QSize shown);

// Whether cells may use cameras' embedded thumbnails (they do; the benchmark
// turns them off to measure what they save).
void setEmbeddedThumbnailsUsed(bool used);
