#pragma once

#include <QImage>
#include <QtGlobal>

// Bytes handed between processes on Windows: a mapping of the system's
// paging file, which cannot shrink once made, so that a view the system
// granted never faults. The counterpart of SharedPixels.h.
namespace rt::decoding {

// A new mapping (HANDLE) holding `size` bytes from `data`; null on failure.
void *sharedBytes(const void *data, qint64 size);

// The pixels of `image`, which has no colour table, in a new mapping.
void *sharedPixels(const QImage &image);

// The image held in `mapping` (which stays the caller's), mapped read-only
// for as long as the image lives; null when the mapping is too short for the
// width, height, line length and format given.
QImage mappedPixels(void *mapping, QSize size, qint64 bytesPerLine, QImage::Format format);

} // namespace rt::decoding
