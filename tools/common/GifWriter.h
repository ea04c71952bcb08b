#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace testart {

// Encodes a still picture as a single-frame GIF89a file.
//
// The picture is reduced to at most 256 colours with
// QImage::convertToFormat(QImage::Format_Indexed8) (exact when it already has
// 256 colours or fewer, otherwise a dithered colour cube), and the pixels are
// LZW-compressed with an 8-bit minimum code size. The global colour table
// always has 256 entries. Pixels with alpha below 128 become the transparent
// index, which is then named in a graphic control extension.
//
// Returns an empty array for a null picture or one wider or taller than 65535.
QByteArray encodeGif(const QImage &image);

// encodeGif() written to a file; false when encoding or writing fails.
bool writeGif(const QImage &image, const QString &fileName);

// The LZW stage alone, exposed so its edge cases can be checked directly:
// indices (each below 1 << minCodeSize) to the packed code stream, without the
// leading code-size byte or the sub-block framing. minCodeSize is 2..8.
QByteArray lzwEncode(const uchar *indices, qsizetype count, int minCodeSize);

}  // namespace testart
