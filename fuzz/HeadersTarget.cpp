// Fuzz target: any bytes through the header readers, which tell a picture's
// format, size and decoding cost before anything is decoded. The size of a
// picture is unknown or positive; a cost is never negative.
#include "Fuzz.h"
#include "runtime/pictures/PictureDescription.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = fuzz::bytes(data, size);
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    (void)rt::header::gifIsBlank(device);
    const rt::PictureDescription picture = rt::describePicture(device, rt::header::ScanCount::Every);
    fuzz::require(picture.shown == QSize() || !picture.shown.isEmpty());
    for (const QSize fill : {QSize(), QSize(65, 65), QSize(1, 4000)})
        fuzz::require(rt::decodeBytes(picture, fill) >= 0);
    return 0;
}
