#pragma once

#include <QSize>
#include <QtGlobal>

class QIODevice;

namespace rt::decoding {

// What a decoder process needs besides its pixels: the file's bytes up to
// 64 MB, libjpeg's working rows, a scaled copy's bookkeeping.
constexpr qint64 kWorkingBytes = qint64(96) << 20;

// The most memory any picture is granted: a full-size picture at the loader's
// cap, a smoothly scaled copy of it and a progressive JPEG's coefficients.
qint64 maxGrant();

// The memory a decoder may use, above what it holds before it starts, to
// decode the picture on `device` (read from its start; its position is left
// anywhere) to cover `fill`: what its description says a decode holds
// (decodeBytes), and the working room.
struct Grant
{
    qint64 bytes = 0;  // what the decoder may use
    QSize shown;       // the picture's size as shown, for a refusal
};
Grant decodeGrant(QIODevice &device, QSize fill);

} // namespace rt::decoding
