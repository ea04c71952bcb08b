// Fuzz target: any bytes as an entry of the shared thumbnail cache, read as
// the list reads one: GLib's test of its keys, then the PNG checks, decoding
// and text. A picture that passes is within the box, its size the one the
// look-up without decoding finds, and written back as ours it passes both again.
#include "Fuzz.h"
#include "runtime/pictures/SmallPng.h"
#include "thumbnailing/ThumbnailPng.h"

namespace {
// The file the seeds' keys describe.
const QByteArray kUri = "file:///tmp/pixmoor-fuzz/photo%20one.jpg";
constexpr qint64 kMTime = 1700000000, kSize = 123456;
constexpr int kBox = 128;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray entry = fuzz::bytes(data, size);
    (void)thumbnailpng::desktopAccepts(entry, kUri, kMTime, kSize);
    const auto lookedUp = rt::smallPngSize(entry, kBox);  // a far cell's look-up
    const auto png = rt::decodeSmallPng(entry, kBox);
    if (!png)
        return 0;
    fuzz::require(png->image.width() <= kBox && png->image.height() <= kBox && lookedUp == png->image.size());
    const QByteArray ours =
        thumbnailpng::encode(png->image, {{"Thumb::URI", kUri}, {"Thumb::MTime", QByteArray::number(kMTime)}});
    const auto again = rt::decodeSmallPng(ours, kBox);
    fuzz::require(thumbnailpng::desktopAccepts(ours, kUri, kMTime, kSize) && again
                  && again->image.size() == png->image.size());
    return 0;
}
