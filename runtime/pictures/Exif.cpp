#include "runtime/pictures/Exif.h"

#include <QByteArrayView>
#include <QtEndian>

namespace rt::exif {

namespace {

constexpr quint16 kOrientation = 0x0112;
constexpr quint16 kThumbnailOffset = 0x0201;
constexpr quint16 kThumbnailLength = 0x0202;
constexpr quint16 kShort = 3;
constexpr int kMaxDirectories = 10;  // as many as Qt's reader looks through
constexpr qint64 kEntryBytes = 12;

// A TIFF structure: its byte order, and reads that never pass its end.
class Tiff
{
public:
    explicit Tiff(QByteArrayView data) : data_(data), little_(data.startsWith("II")) {}

    bool valid() const { return (little_ || data_.startsWith("MM")) && has(0, 8) && u16(2) == 42; }
    qint64 size() const { return data_.size(); }
    bool has(qint64 at, qint64 count) const { return at >= 0 && count >= 0 && at + count <= data_.size(); }
    quint16 u16(qint64 at) const
    {
        const char *p = data_.data() + at;
        return little_ ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
    }
    quint32 u32(qint64 at) const
    {
        const char *p = data_.data() + at;
        return little_ ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    }
    QByteArray bytes(qint64 at, qint64 count) const
    {
        return has(at, count) ? data_.sliced(at, count).toByteArray() : QByteArray();
    }

    // Calls `entry(tag, at)` for each entry of the directory at `at` (its
    // value field at `at + 8`) and returns where the next directory starts:
    // 0 for none, or when this one does not fit.
    template <typename Entry>
    quint32 directory(qint64 at, Entry entry) const
    {
        if (!has(at, 2) || !has(at + 2, u16(at) * kEntryBytes + 4))
            return 0;
        const int count = u16(at);
        for (int i = 0; i < count; ++i)
            entry(u16(at + 2 + i * kEntryBytes), at + 2 + i * kEntryBytes);
        return u32(at + 2 + count * kEntryBytes);
    }

private:
    QByteArrayView data_;
    bool little_;
};

}  // namespace

int orientation(const QByteArray &app1)
{
    const QByteArrayView exif(app1);
    if (!exif.startsWith(QByteArrayView("Exif\0\0", 6)))
        return 1;
    const Tiff tiff(exif.sliced(6));
    if (!tiff.valid())
        return 1;
    // Read front to back, as a stream: entries one after another, each next
    // directory at or after the end of the last thing read.
    qint64 at = 8;
    quint32 next = tiff.u32(4);
    for (int directory = 0; directory < kMaxDirectories; ++directory) {
        if (next < at || next >= tiff.size() || !tiff.has(next, 2))
            return 1;
        const int entries = tiff.u16(next);
        at = next + 2;
        for (int i = 0; i < entries; ++i, at += kEntryBytes) {
            if (!tiff.has(at, kEntryBytes))
                return 1;
            if (tiff.u16(at) != kOrientation)
                continue;
            const quint16 value = tiff.u16(at + 8);
            const bool single = tiff.u16(at + 2) == kShort && tiff.u32(at + 4) == 1;
            return single && value >= 1 && value <= 8 ? value : 1;
        }
        if (!tiff.has(at, 4) || (next = tiff.u32(at)) == 0)
            return 1;
        at += 4;
    }
    return 1;
}

QByteArray thumbnail(const QByteArray &tiffData)
{
    const Tiff tiff(tiffData);
    if (!tiff.valid())
        return QByteArray();
    const quint32 first = tiff.u32(4);
    const quint32 second = tiff.directory(first, [](quint16, qint64) {});
    qint64 offset = -1, length = 0;
    if (second != 0 && second != first) {
        tiff.directory(second, [&](quint16 tag, qint64 entry) {
            if (tag == kThumbnailOffset)
                offset = tiff.u32(entry + 8);
            else if (tag == kThumbnailLength)
                length = tiff.u32(entry + 8);
        });
    }
    return tiff.bytes(offset, length);
}

}  // namespace rt::exif
