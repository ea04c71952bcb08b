// Fuzz target: any bytes through the header readers, which tell a picture's
// format, size and decoding cost before anything is decoded. The size of a
// picture is unknown or positive; a cost is never negative.
#include "Fuzz.h"
#include "runtime/pictures/PictureHeader.h"
#include "thumbnailing/PictureSize.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    namespace header = rt::header;
    QByteArray bytes = fuzz::bytes(data, size);
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    (void)header::sniffFormat(device);
    (void)header::gifScreen(device, QSize());
    (void)header::gifIsBlank(device);
    (void)header::iconImages(device);
    fuzz::require(header::jpegLayout(device).coefficientBytes >= 0);
    const QSize shown = pictureSize(device);
    fuzz::require(shown == QSize() || !shown.isEmpty());
    return 0;
}
