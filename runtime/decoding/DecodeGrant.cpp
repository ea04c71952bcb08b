#include "runtime/decoding/DecodeGrant.h"

#include "runtime/pictures/DecodeLimits.h"
#include "runtime/pictures/PictureDescription.h"

#include <QIODevice>

namespace rt::decoding {

qint64 maxGrant()
{
    return kWorkingBytes + 2 * 4 * kMaxPixels + kMaxCoefficientBytes;
}

Grant decodeGrant(QIODevice &device, QSize fill)
{
    const PictureDescription picture = describePicture(device);
    return {kWorkingBytes + decodeBytes(picture, fill), picture.shown};
}

} // namespace rt::decoding
