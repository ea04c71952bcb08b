#pragma once

#include <QImage>
#include <QtGlobal>

// Bytes handed between processes in an anonymous file that is sealed before
// it is passed on: the receiver maps it knowing that it cannot shrink under
// it (a shrunk file would fault on the next read) and that no one can write
// to it, but for a decoder that still maps the pixels it wrote until its
// answer is sent.
namespace rt::decoding {

// A new sealed file holding `size` bytes from `data`; -1 on failure.
int sealedFile(const void *data, qint64 size);

// The pixels of `image`, which has no colour table, in a sealed file.
int sealedPixels(const QImage &image);

// For the decoder: a writable image of `size` and `format` (no colour table)
// in a new file of its own, for a decoder to write into, every byte zero;
// null when none can be made.
QImage sharedBlank(QSize size, QImage::Format format);

// The sealed file holding `image`'s pixels, which is then released: its own
// file when it is one of sharedBlank()'s that nothing else holds, else -1
// (the image kept) to be copied with sealedPixels().
int handOver(QImage &image);

// Once the answer is sent: unmaps what was handed over, and closes the files
// of the images sharedBlank() made that were not.
void dropBlanks();

// The image held in the sealed file `fd` (which stays the caller's), mapped
// read-only for as long as the image lives; null when the file is not sealed
// or too short for the width, height, line length and format given.
QImage mappedPixels(int fd, QSize size, qint64 bytesPerLine, QImage::Format format);

} // namespace rt::decoding
