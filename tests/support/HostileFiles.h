#pragma once

// Picture files made to be hostile: headers that lie about their size, JPEGs
// with absurd numbers of scans, icons hiding large PNGs. Built from pictures
// Qt and the test writers make, then patched byte by byte.
#include "BmpIcoWriter.h"
#include "GifWriter.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QRect>
#include <QtEndian>

namespace test::hostile {

// A picture with detail everywhere, so that decoders have real work.
inline QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(x * 255 / size.width(), y * 255 / size.height(), (x ^ y) & 0xFF);
    }
    return image;
}

inline QByteArray encoded(const QImage &image, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        qFatal("cannot encode %s", format);
    return bytes;
}

inline QByteArray jpeg(QSize size, bool progressive = false) { return encoded(pattern(size), "jpeg", progressive); }

struct Segment
{
    uchar marker;
    qsizetype start, end;  // a scan ends where its entropy-coded data does
};

// The marker segments of a well-formed JPEG, from SOI to EOI.
inline QList<Segment> segments(const QByteArray &jpeg)
{
    QList<Segment> found{{0xD8, 0, 2}};
    const auto *d = reinterpret_cast<const uchar *>(jpeg.constData());
    for (qsizetype at = 2; at + 1 < jpeg.size();) {
        const uchar marker = d[at + 1];
        if (marker == 0xD9) {
            found.append({marker, at, at + 2});
            break;
        }
        qsizetype end = at + 2 + qFromBigEndian<quint16>(d + at + 2);
        if (marker == 0xDA) {
            while (end + 1 < jpeg.size()
                   && !(d[end] == 0xFF && d[end + 1] != 0 && (d[end + 1] < 0xD0 || d[end + 1] > 0xD7)))
                ++end;
        }
        found.append({marker, at, end});
        at = end;
    }
    return found;
}

// The same JPEG with its frame header claiming another size.
inline QByteArray withJpegSize(QByteArray jpeg, QSize size)
{
    for (const Segment &s : segments(jpeg)) {
        if (s.marker >= 0xC0 && s.marker <= 0xC2) {
            qToBigEndian<quint16>(quint16(size.height()), jpeg.data() + s.start + 5);
            qToBigEndian<quint16>(quint16(size.width()), jpeg.data() + s.start + 7);
        }
    }
    return jpeg;
}

// A progressive JPEG with its last scan repeated `times` more.
inline QByteArray withRepeatedScan(const QByteArray &jpeg, int times)
{
    const QList<Segment> all = segments(jpeg);
    for (qsizetype i = all.size() - 1; i >= 0; --i) {
        if (all[i].marker == 0xDA) {
            const QByteArray scan = jpeg.mid(all[i].start, all[i].end - all[i].start);
            return jpeg.left(all[i].end) + scan.repeated(times) + jpeg.mid(all[i].end);
        }
    }
    return jpeg;
}

// A BMP header claiming width x height, with a few bytes of pixels.
inline QByteArray bmpHeader(qint32 width, qint32 height, quint16 bitCount = 24, int pixelBytes = 64)
{
    QByteArray b(54 + pixelBytes, '\x40');
    b[0] = 'B';
    b[1] = 'M';
    char *d = b.data();
    qToLittleEndian<quint32>(quint32(b.size()), d + 2);
    qToLittleEndian<quint32>(0, d + 6);
    qToLittleEndian<quint32>(54, d + 10);
    qToLittleEndian<quint32>(40, d + 14);
    qToLittleEndian<qint32>(width, d + 18);
    qToLittleEndian<qint32>(height, d + 22);
    qToLittleEndian<quint16>(1, d + 26);
    qToLittleEndian<quint16>(bitCount, d + 28);
    std::fill(d + 30, d + 54, '\0');  // no compression, no palette
    return b;
}

inline QByteArray gif(QSize size) { return testart::encodeGif(pattern(size)); }

// The same GIF with another logical screen; its image keeps its size.
inline QByteArray withGifScreen(QByteArray gif, QSize screen)
{
    qToLittleEndian<quint16>(quint16(screen.width()), gif.data() + 6);
    qToLittleEndian<quint16>(quint16(screen.height()), gif.data() + 8);
    return gif;
}

struct IconPart
{
    QSize listed;  // as the directory gives it (256 is written as 0)
    quint16 bitCount;
    QByteArray data;  // a DIB or a PNG
};

inline QByteArray iconFile(const QList<IconPart> &parts)
{
    QByteArray head(6 + 16 * parts.size(), '\0');
    char *d = head.data();
    qToLittleEndian<quint16>(1, d + 2);
    qToLittleEndian<quint16>(quint16(parts.size()), d + 4);
    QByteArray body;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        char *e = d + 6 + 16 * i;
        e[0] = char(parts[i].listed.width() & 0xFF);
        e[1] = char(parts[i].listed.height() & 0xFF);
        qToLittleEndian<quint16>(1, e + 4);
        qToLittleEndian<quint16>(parts[i].bitCount, e + 6);
        qToLittleEndian<quint32>(quint32(parts[i].data.size()), e + 8);
        qToLittleEndian<quint32>(quint32(head.size() + body.size()), e + 12);
        body += parts[i].data;
    }
    return head + body;
}

// One 16-colour DIB image as the test writer makes it for icons.
inline IconPart iconBitmap(QSize size)
{
    const QByteArray file = testart::encodeIco16({pattern(size)});
    return {size, 4, file.mid(22)};
}

// A picture of `size` in a format the program opens (Qt's name of it, as
// rt::pictureFormats() gives it): by the tests' writers where Qt writes none,
// else by Qt's; a format that neither writes fails the test program.
inline QByteArray sample(const QByteArray &format, QSize size)
{
    if (format == "gif")
        return gif(size);
    if (format == "ico")
        return iconFile({iconBitmap(size)});
    return encoded(pattern(size), format.constData());
}

// A PNG of `size` whose header claims `claimed` (with a valid checksum).
inline IconPart iconPng(QSize size, QSize claimed)
{
    QByteArray png = encoded(pattern(size), "png");
    qToBigEndian<quint32>(quint32(claimed.width()), png.data() + 16);
    qToBigEndian<quint32>(quint32(claimed.height()), png.data() + 20);
    qToBigEndian<quint32>(crc32(png.mid(12, 17)), png.data() + 29);
    return {QSize(0, 0), 32, png};
}

// A TIFF directory entry of EXIF data, its value in the first two bytes of its field.
struct TiffEntry
{
    quint16 tag, type;
    quint32 count;
    quint16 value;
};

// An APP1 body of EXIF data: the directories given, chained from offset 8.
inline QByteArray exif(bool motorola, const QList<QList<TiffEntry>> &directories)
{
    QByteArray d = motorola ? QByteArray("MM\0\x2A", 4) : QByteArray("II\x2A\0", 4);
    auto put = [&](quint32 value, int bytes) {
        char b[4];
        motorola ? qToBigEndian(value, b) : qToLittleEndian(value, b);
        d.append(motorola ? b + 4 - bytes : b, bytes);
    };
    put(8, 4);
    for (qsizetype i = 0; i < directories.size(); ++i) {
        put(quint32(directories[i].size()), 2);
        for (const TiffEntry &e : directories[i]) {
            put(e.tag, 2), put(e.type, 2), put(e.count, 4), put(e.value, 2), put(0, 2);
        }
        put(i + 1 < directories.size() ? quint32(d.size() + 4) : 0, 4);
    }
    return QByteArray("Exif\0\0", 6) + d;
}

// `jpeg` with APP1 segments of these bodies at `at` (just after its start).
inline QByteArray withApp1(QByteArray jpeg, const QList<QByteArray> &bodies, qsizetype at = 2)
{
    QByteArray segments;
    for (const QByteArray &body : bodies) {
        char length[2];
        qToBigEndian<quint16>(quint16(body.size() + 2), length);
        segments += QByteArray("\xFF\xE1", 2) + QByteArray(length, 2) + body;
    }
    return jpeg.insert(at, segments);
}

// A GIF of two colours: a screen, the blocks given, then one image of a pixel
// or more placed at `image` (the pixel data covers its first pixel only).
inline QByteArray gifOf(QSize screen, const QByteArray &blocks, QRect image)
{
    QByteArray g("GIF89a\0\0\0\0\x80\0\0\0\0\0\xFF\xFF\xFF", 19);
    qToLittleEndian<quint16>(quint16(screen.width()), g.data() + 6);
    qToLittleEndian<quint16>(quint16(screen.height()), g.data() + 8);
    QByteArray d(9, '\0');
    const int sides[] = {image.x(), image.y(), image.width(), image.height()};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<quint16>(quint16(sides[i]), d.data() + 2 * i);
    return g + blocks + ',' + d + QByteArray("\x02\x02\x44\x01\x00;", 6);
}

using test::write;

}  // namespace test::hostile
