#include "runtime/pictures/PictureReaders.h"

#include "runtime/pictures/DecodeLimits.h"
#include "runtime/pictures/PictureDescription.h"

#include <QIODevice>

namespace rt::readers {

namespace {

constexpr qint64 kJpegStrayBytes = 64 * 1024;

// A JPEG starts with its start-of-image marker, and a marker follows. libjpeg
// skips stray bytes before that first marker (with a warning) and so does Qt's
// reader; they are looked for as far as `head` reaches.
bool startsLikeJpeg(const QByteArray &head)
{
    if (!head.startsWith("\xFF\xD8"))
        return false;
    for (qsizetype at = 2; at + 1 < head.size(); ++at) {
        if (uchar(head[at]) != 0xFF)
            continue;
        while (at + 1 < head.size() && uchar(head[at + 1]) == 0xFF)  // fill bytes
            ++at;
        if (at + 1 < head.size() && head[at + 1] != 0)  // 0xFF 0x00 is a stray byte too
            return true;
    }
    return false;
}

// The size a decoder allocates and the EXIF orientation it turns the picture by.
void setDecoded(PictureDescription &picture, QSize decoded, int orientation = 1)
{
    picture.decoded = decoded.width() > 0 && decoded.height() > 0 ? decoded : QSize();
    // EXIF orientations 5 to 8 turn the picture a quarter, 2 to 4 mirror or flip it.
    picture.rotated = orientation >= 5;
    picture.oriented = orientation >= 2;
    picture.shown = picture.rotated ? picture.decoded.transposed() : picture.decoded;
}

bool isBitmap(QIODevice &, const QByteArray &head) { return head.startsWith("BM"); }

void describeBitmap(QIODevice &device, PictureDescription &picture, header::ScanCount)
{
    const header::Bitmap bitmap = header::bitmap(device);
    picture.bytesPerPixel = bitmap.bytesPerPixel;
    setDecoded(picture, bitmap.size);
}

bool isJpeg(QIODevice &device, const QByteArray &head)
{
    return startsLikeJpeg(head) || (head.startsWith("\xFF\xD8") && startsLikeJpeg(device.peek(kJpegStrayBytes)));
}

void describeJpeg(QIODevice &device, PictureDescription &picture, header::ScanCount scans)
{
    const header::JpegLayout layout = header::jpegLayout(device, scans);
    picture.scans = layout.scans;
    picture.decoderBytes = layout.coefficientBytes;
    picture.scalable = true;  // libjpeg scales as it decodes, progressive pictures included
    setDecoded(picture, layout.size, layout.orientation);
}

bool isGif(QIODevice &, const QByteArray &head) { return head.startsWith("GIF87a") || head.startsWith("GIF89a"); }

void describeGif(QIODevice &device, PictureDescription &picture, header::ScanCount)
{
    // The decoder paints into the whole logical screen, however small its images.
    setDecoded(picture, header::gifScreen(device));
}

// Icons and cursors: a reserved zero, the type, and at least one image.
bool isIcon(QIODevice &, const QByteArray &head)
{
    return head.size() >= 6 && head[0] == 0 && head[1] == 0 && (head[2] == 1 || head[2] == 2) && head[3] == 0
        && (head[4] != 0 || head[5] != 0);
}

void describeIcon(QIODevice &device, PictureDescription &picture, header::ScanCount)
{
    // Held far below what can overflow, as the description's costs hold it.
    auto area = [](QSize size) {
        return size.isValid() ? qMin(qint64(size.width()) * size.height(), qint64(1) << 40) : 0;
    };
    picture.icons = header::iconImages(device);
    QSize largest, largestUsable;
    for (const header::IconImage &image : std::as_const(picture.icons)) {
        const bool usable = !image.size.isEmpty() && area(image.size) <= kMaxPixels;
        QSize &kept = usable ? largestUsable : largest;
        if (area(image.size) > area(kept))
            kept = image.size;
    }
    // Its size is that of its full-size image; one past the cap tells why none is shown.
    picture.shown = largestUsable.isValid() ? largestUsable : largest;
    picture.decoded = picture.shown;
}

}  // namespace

const PictureReader bitmap{isBitmap, describeBitmap};
const PictureReader jpeg{isJpeg, describeJpeg};
// Qt writes no GIF: one of a pixel, with a graphic control block.
const PictureReader gif{isGif, describeGif, "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7"};
const PictureReader icon{isIcon, describeIcon};

}  // namespace rt::readers
