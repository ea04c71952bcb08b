#include "ExifWriter.h"

#include <QtEndian>

namespace testart {

namespace {

// A little-endian TIFF structure written front to back.
class TiffWriter
{
public:
    qsizetype size() const { return data_.size(); }
    void u16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        data_.append(b, 2);
    }
    void u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        data_.append(b, 4);
    }
    void entry(quint16 tag, quint16 type, quint32 count, quint32 value)
    {
        u16(tag);
        u16(type);
        u32(count);
        if (type == 3 && count == 1) {  // a SHORT sits in the first two bytes
            u16(quint16(value));
            u16(0);
        } else {
            u32(value);
        }
    }
    void bytes(const QByteArray &b) { data_.append(b); }
    const QByteArray &data() const { return data_; }

private:
    QByteArray data_;
};

constexpr quint16 kAscii = 2, kShort = 3, kLong = 4;

}  // namespace

QByteArray withCameraExif(const QByteArray &jpeg, const CameraExif &exif)
{
    if (!jpeg.startsWith("\xFF\xD8"))
        return QByteArray();
    const QByteArray make = exif.make + '\0', model = exif.model + '\0';
    const int first = exif.orientation ? 3 : 2;
    const bool thumbnail = !exif.thumbnail.isEmpty();
    // Layout: header, first directory, its strings, second directory, thumbnail.
    const quint32 firstAt = 8;
    const quint32 makeAt = firstAt + 2 + 12 * first + 4;
    const quint32 modelAt = makeAt + quint32(make.size());
    const quint32 secondAt = modelAt + quint32(model.size());
    const quint32 thumbnailAt = secondAt + 2 + 12 * 3 + 4;

    TiffWriter tiff;
    tiff.bytes("II");
    tiff.u16(42);
    tiff.u32(firstAt);
    tiff.u16(quint16(first));
    tiff.entry(0x010F, kAscii, quint32(make.size()), makeAt);
    tiff.entry(0x0110, kAscii, quint32(model.size()), modelAt);
    if (exif.orientation)
        tiff.entry(0x0112, kShort, 1, quint32(exif.orientation));
    tiff.u32(thumbnail ? secondAt : 0);
    tiff.bytes(make);
    tiff.bytes(model);
    if (thumbnail) {
        tiff.u16(3);
        tiff.entry(0x0103, kShort, 1, 6);  // JPEG compression
        tiff.entry(0x0201, kLong, 1, thumbnailAt);
        tiff.entry(0x0202, kLong, 1, quint32(exif.thumbnail.size()));
        tiff.u32(0);
        tiff.bytes(exif.thumbnail);
    }

    const qsizetype length = 2 + 6 + tiff.size();
    if (length > 0xFFFF)
        return QByteArray();
    QByteArray segment("\xFF\xE1");
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append("Exif\0\0", 6).append(tiff.data());
    return jpeg.left(2) + segment + jpeg.mid(2);
}

}  // namespace testart
