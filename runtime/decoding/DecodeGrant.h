#pragma once

#include <QtGlobal>

namespace rt::decoding {

// What a decoder process needs besides its pixels: the file's bytes up to
// 64 MB, libjpeg's working rows, a scaled copy's bookkeeping. A decoder is
// granted this and what its picture's description says a decode holds
// (decodeBytes), above what it holds before it starts.
constexpr qint64 kWorkingBytes = qint64(96) << 20;

// The most memory any picture is granted: a full-size picture at the loader's
// cap, a smoothly scaled copy of it and a progressive JPEG's coefficients.
qint64 maxGrant();

}  // namespace rt::decoding
