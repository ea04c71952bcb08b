#include "runtime/decoding/DecodeGrant.h"

#include "runtime/pictures/DecodeLimits.h"

namespace rt::decoding {

qint64 maxGrant() { return kWorkingBytes + 2 * 4 * kMaxPixels + kMaxDecoderBytes; }

}  // namespace rt::decoding
