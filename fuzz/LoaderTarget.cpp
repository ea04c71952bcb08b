// Fuzz target: any bytes through the picture loader, at full size and as a
// thumbnail, from memory. Whatever the input, the loader must return (a
// picture or a reason) without crashing, and within the memory caps.
#include "Fuzz.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>

#include <cstdint>
#include <utility>

namespace {
// Of every pixel of every picture decoded, so that each is read: a memory
// checker tells a pixel no decoder set only when something uses it.
uint64_t checksum = 0;

void add(const QImage &decoded)
{
    const QImage image = decoded.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            checksum = checksum * 31 + line[x];
    }
}
}  // namespace

// Printed by the replay after each input.
extern "C" uint64_t FuzzReplayChecksum() { return std::exchange(checksum, 0); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = fuzz::bytes(data, size);
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    for (const QSize fill : {QSize(), QSize(65, 65)}) {
        const rt::Decoded decoded = rt::decodePictureData(device, fill);
        fuzz::require(decoded.image.isNull() != !decoded.error);  // a picture, or a reason: never both, never neither
        fuzz::require(qint64(decoded.image.width()) * decoded.image.height() <= rt::kMaxPixels);
        add(decoded.image);
    }
    return 0;
}
