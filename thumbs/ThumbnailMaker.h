#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// One cell's picture: the file's picture decoded no larger than it is shown,
// stretched to fill the cell.
struct Thumbnail
{
    QImage image;    // null when the file cannot be shown
    QSize fileSize;  // the picture's own size
};

// Makes the thumbnail of `path` for a cell of `shown` device pixels.
// Thread-safe; reads the file as it is now.
Thumbnail makeThumbnail(const QString &path, QSize shown);
