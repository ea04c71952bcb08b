#include "thumbnailing/ExifThumbnail.h"

#include "runtime/pictures/Colours.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>
#include <QMap>
#include <QTransform>
#include <QtEndian>

namespace {

constexpr quint16 kOrientation = 0x0112;
constexpr quint16 kThumbnailOffset = 0x0201;
constexpr quint16 kThumbnailLength = 0x0202;

// What the segments before a JPEG's picture data say.
struct JpegHead
{
    QSize frame;      // as stored, before any orientation
    QByteArray tiff;  // the EXIF data (a TIFF structure); empty without
    QMap<int, QByteArray> icc;  // the colour profile's chunks, by their number
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

quint16 bigEndian16(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

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
        if (marker == 0xD9 || marker == 0xDA || length < 2 || at + 2 + length > jpeg.size())
            break;
        const QByteArray body = jpeg.mid(at + 4, length - 2);
        if (marker == 0xE1 && head.tiff.isEmpty() && body.startsWith(QByteArray("Exif\0\0", 6)))
            head.tiff = body.mid(6);
        if (marker == 0xE2 && body.size() > 14 && body.startsWith(QByteArray("ICC_PROFILE\0", 12)))
            head.icc.insert(uchar(body[12]), body.mid(14));
        if (isFrameHeader(marker)) {
            if (body.size() >= 5)
                head.frame = QSize(bigEndian16(body, 3), bigEndian16(body, 1));
            break;  // the EXIF segment comes before the frame
        }
        at += 2 + length;
    }
    return head;
}

// The TIFF structure inside EXIF data: its byte order and bounded reads.
class Tiff
{
public:
    explicit Tiff(const QByteArray &data)
        : data_(data), little_(data.startsWith("II"))
    {
    }

    bool valid() const { return (little_ || data_.startsWith("MM")) && has(0, 8) && u16(2) == 42; }
    bool has(qint64 at, qint64 count) const { return at >= 0 && count >= 0 && at + count <= data_.size(); }
    quint16 u16(qint64 at) const
    {
        const char *p = data_.constData() + at;
        return little_ ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
    }
    quint32 u32(qint64 at) const
    {
        const char *p = data_.constData() + at;
        return little_ ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    }

    // Calls `entry(tag, valueAt)` for each entry of the directory at `at` and
    // returns where the next directory starts (0: none, or unreadable).
    template<typename Entry>
    quint32 directory(qint64 at, Entry entry) const
    {
        if (!has(at, 2))
            return 0;
        const int count = u16(at);
        if (!has(at + 2, qint64(count) * 12 + 4))
            return 0;
        for (int i = 0; i < count; ++i) {
            const qint64 e = at + 2 + qint64(i) * 12;
            entry(u16(e), e + 8);
        }
        return u32(at + 2 + qint64(count) * 12);
    }

    QByteArray bytes(qint64 at, qint64 count) const { return has(at, count) ? data_.mid(at, count) : QByteArray(); }

private:
    const QByteArray &data_;
    bool little_;
};

struct Exif
{
    int orientation = 1;
    QByteArray thumbnail;
};

Exif readExif(const QByteArray &tiffData)
{
    Exif exif;
    const Tiff tiff(tiffData);
    if (!tiff.valid())
        return exif;
    const quint32 first = tiff.u32(4);
    const quint32 second = tiff.directory(first, [&](quint16 tag, qint64 value) {
        if (tag == kOrientation)
            exif.orientation = tiff.u16(value);
    });
    qint64 offset = -1, length = 0;
    if (second != 0 && second != first) {
        tiff.directory(second, [&](quint16 tag, qint64 value) {
            if (tag == kThumbnailOffset)
                offset = tiff.u32(value);
            else if (tag == kThumbnailLength)
                length = tiff.u32(value);
        });
    }
    exif.thumbnail = tiff.bytes(offset, length);
    return exif;
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

bool swapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

} // namespace

std::optional<ExifThumbnail> exifThumbnail(const QByteArray &jpeg, QSize shown, const BytesDecoder &decode)
{
    const JpegHead head = readHead(jpeg);
    if (head.tiff.isEmpty() || head.frame.isEmpty())
        return std::nullopt;
    const Exif exif = readExif(head.tiff);
    if (!exif.thumbnail.startsWith("\xFF\xD8\xFF"))
        return std::nullopt;
    const QSize stored = readHead(exif.thumbnail).frame;
    if (stored.isEmpty())
        return std::nullopt;

    // Orientation turns picture and thumbnail alike, so their shapes compare as stored.
    const double shape = double(stored.width()) * head.frame.height() / (double(stored.height()) * head.frame.width());
    const QSize covered = swapsSides(exif.orientation) ? stored.transposed() : stored;
    if (qAbs(shape - 1.0) > 0.02 || covered.width() < shown.width() || covered.height() < shown.height())
        return std::nullopt;

    QBuffer buffer;
    buffer.setData(exif.thumbnail);
    buffer.open(QIODevice::ReadOnly);
    rt::Decoded decoded = decode ? decode(exif.thumbnail) : rt::decodePictureData(buffer);
    if (decoded.image.size() != stored)
        return std::nullopt;
    rt::convertToSrgb(decoded.image, iccProfile(head));  // in the photo's colours, unless it has its own
    return ExifThumbnail{oriented(decoded.image, exif.orientation),
                         swapsSides(exif.orientation) ? head.frame.transposed() : head.frame};
}
