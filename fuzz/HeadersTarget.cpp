// Fuzz target: any bytes through the header readers, which tell a picture's
// format, size, orientation and decoding cost in the program's own process,
// before anything is decoded. The size of a picture is unknown or positive, a
// cost is never negative, a bitmap believed is at most 16384 x 16384 pixels,
// a GIF's screen at most an image's offset and extent a side, an orientation
// 1 to 8. The same bytes go through the EXIF reader as APP1 data, and past
// the six bytes of an EXIF header as the TIFF structure a thumbnail is in.
#include "Fuzz.h"
#include "runtime/pictures/Exif.h"
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
    fuzz::require(picture.oriented || !picture.rotated);
    for (const QSize fill : {QSize(), QSize(65, 65), QSize(1, 4000)})
        fuzz::require(rt::decodeBytes(picture, fill) >= 0);

    const rt::header::Bitmap bitmap = rt::header::bitmap(device);
    fuzz::require(bitmap.size == QSize()
                  || (!bitmap.size.isEmpty() && qint64(bitmap.size.width()) * bitmap.size.height() <= 16384 * 16384));
    const QSize screen = rt::header::gifScreen(device);
    fuzz::require(screen == QSize()
                  || (!screen.isEmpty() && screen.width() <= 2 * 65535 && screen.height() <= 2 * 65535));
    const int orientation = rt::header::jpegLayout(device, rt::header::ScanCount::UpToFirst).orientation;
    fuzz::require(orientation >= 1 && orientation <= 8);

    const int exif = rt::exif::orientation(bytes);
    fuzz::require(exif >= 1 && exif <= 8);
    fuzz::require(rt::exif::thumbnail(bytes.mid(6)).size() <= bytes.size());
    return 0;
}
