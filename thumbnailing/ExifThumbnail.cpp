#include "thumbnailing/ExifThumbnail.h"

#include "runtime/pictures/Colours.h"
#include "runtime/pictures/Exif.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>
#include <QMap>
#include <QTransform>
#include <QtEndian>

namespace {

// What the segments before a JPEG's first scan say.
struct JpegHead
{
    QSize frame;                // as stored, before any orientation
    QByteArray tiff;            // the first EXIF data (a TIFF structure), which holds the thumbnail; empty without
    QByteArray app1;            // every APP1 segment joined, where Qt's reader finds the orientation
    QMap<int, QByteArray> icc;  // the colour profile's chunks, by their number
    bool whole = false;         // read to the first scan: nothing further changes the above
};

// The colour profile, when every chunk it announces is there.
QByteArray iccProfile(const JpegHead &head)
{
    QByteArray profile;
    for (int chunk = 1; chunk <= head.icc.size(); ++chunk) {
        if (!head.icc.contains(chunk))
            return QByteArray();
        profile += head.icc.value(chunk);
    }
    return profile;
}

bool isFrameHeader(uchar marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

quint16 bigEndian16(const QByteArray &bytes, qsizetype at) { return qFromBigEndian<quint16>(bytes.constData() + at); }

JpegHead readHead(const QByteArray &jpeg)
{
    JpegHead head;
    if (!jpeg.startsWith("\xFF\xD8"))
        return head;
    for (qsizetype at = 2; at + 4 <= jpeg.size();) {
        if (uchar(jpeg[at]) != 0xFF)
            break;
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const int length = bigEndian16(jpeg, at + 2);
        head.whole = marker == 0xDA;
        if (marker == 0xD9 || marker == 0xDA || length < 2 || at + 2 + length > jpeg.size())
            break;
        const QByteArray body = jpeg.mid(at + 4, length - 2);
        if (marker == 0xE1) {
            head.app1 += body;
            if (head.tiff.isEmpty() && body.startsWith(QByteArray("Exif\0\0", 6)))
                head.tiff = body.mid(6);
        }
        if (marker == 0xE2 && body.size() > 14 && body.startsWith(QByteArray("ICC_PROFILE\0", 12)))
            head.icc.insert(uchar(body[12]), body.mid(14));
        if (isFrameHeader(marker) && body.size() >= 5 && !head.frame.isValid())
            head.frame = QSize(bigEndian16(body, 3), bigEndian16(body, 1));
        at += 2 + length;
    }
    return head;
}

// Turns a picture as EXIF orientation 1 to 8 says, as the picture loader does
// with the picture itself: mirror, then flip, then a quarter turn clockwise.
QImage oriented(const QImage &image, int orientation)
{
    static const struct
    {
        bool mirror, flip, rotate;
    } steps[] = {{false, false, false}, {true, false, false}, {true, true, false}, {false, true, false},
                 {false, true, true},   {false, false, true}, {true, false, true}, {true, true, true}};
    if (orientation < 1 || orientation > 8)
        return image;
    const auto &step = steps[orientation - 1];
    QImage turned = image.mirrored(step.mirror, step.flip);
    return step.rotate ? turned.transformed(QTransform().rotate(90)) : turned;
}

bool swapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

}  // namespace

std::optional<ExifThumbnail> exifThumbnail(const QByteArray &jpeg, QSize shown, const BytesDecoder &decode)
{
    // Read to the photo's first scan, so that it is oriented as its decode would be.
    const JpegHead head = readHead(jpeg);
    if (!head.whole || head.tiff.isEmpty() || head.frame.isEmpty())
        return std::nullopt;
    const QByteArray embedded = rt::exif::thumbnail(head.tiff);
    const int orientation = rt::exif::orientation(head.app1);
    if (!embedded.startsWith("\xFF\xD8\xFF"))
        return std::nullopt;
    const QSize stored = readHead(embedded).frame;
    if (stored.isEmpty())
        return std::nullopt;

    // Orientation turns picture and thumbnail alike, so their shapes compare as stored.
    const double shape = double(stored.width()) * head.frame.height() / (double(stored.height()) * head.frame.width());
    const QSize covered = swapsSides(orientation) ? stored.transposed() : stored;
    if (qAbs(shape - 1.0) > 0.02 || covered.width() < shown.width() || covered.height() < shown.height())
        return std::nullopt;

    QBuffer buffer;
    buffer.setData(embedded);
    buffer.open(QIODevice::ReadOnly);
    rt::Decoded decoded = decode ? decode(embedded) : rt::decodePictureData(buffer);
    if (decoded.image.size() != stored)
        return std::nullopt;
    rt::convertToSrgb(decoded.image, iccProfile(head));  // in the photo's colours, unless it has its own
    return ExifThumbnail{oriented(decoded.image, orientation),
                         swapsSides(orientation) ? head.frame.transposed() : head.frame};
}
