#include "runtime/decoding/DecodeGrant.h"

#include "runtime/pictures/DecodeLimits.h"
#include "runtime/pictures/PictureDescription.h"

#include <QIODevice>

namespace rt::decoding {

qint64 maxGrant()
{
    return kWorkingBytes + 2 * 4 * kMaxPixels + kMaxCoefficientBytes;
}

qint64 decodeGrant(QIODevice &device, QSize fill)
{
    return kWorkingBytes + decodeBytes(describePicture(device), fill);
}

} // namespace rt::decoding
