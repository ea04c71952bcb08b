// Fuzz target: any bytes through the picture loader, at full size and as a
// thumbnail, from memory. Whatever the input, the loader must return (a
// picture or a reason) without crashing, and within the memory caps.
#include "Fuzz.h"
#include "runtime/PictureLoader.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    for (const QSize fill : {QSize(), QSize(65, 65)}) {
        const rt::Decoded decoded = rt::decodePictureData(device, fill);
        if (decoded.image.isNull() == !decoded.error)
            __builtin_trap();  // a picture, or a reason: never both, never neither
        if (!decoded.image.isNull() && qint64(decoded.image.width()) * decoded.image.height() > rt::kMaxPixels)
            __builtin_trap();
    }
    return 0;
}
