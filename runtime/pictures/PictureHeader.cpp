#include "runtime/pictures/PictureHeader.h"

#include "runtime/pictures/ByteStream.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace rt::header {

namespace {

constexpr int kMaxIconImages = 256;

bool skipSubBlocks(ByteStream &in)
{
    for (uchar size = 0;;) {
        if (!in.next(size))
            return false;
        if (size == 0)
            return true;
        if (!in.skip(size))
            return false;
    }
}

}  // namespace

QSize gifScreen(QIODevice &device)
{
    device.seek(0);
    const QByteArray head = device.read(13);  // the signature and the logical screen
    if (head.size() < 13)
        return QSize();
    const auto *screen = reinterpret_cast<const uchar *>(head.constData());
    int width = qFromLittleEndian<quint16>(screen + 6);
    int height = qFromLittleEndian<quint16>(screen + 8);
    if (width > 0 && height > 0)
        return QSize(width, height);
    ByteStream in(device);
    if (!in.skip(head.size()) || ((screen[10] & 0x80) && !in.skip(3 * (2 << (screen[10] & 7)))))
        return QSize();
    for (uchar introducer = 0;;) {
        if (!in.next(introducer))
            return QSize();
        if (introducer == 0x2C) {
            uchar image[9];  // its place, its size and its flags, all read before it is allocated
            if (!in.read(image, sizeof image))
                return QSize();
            if (width == 0)
                width = qFromLittleEndian<quint16>(image) + qFromLittleEndian<quint16>(image + 4);
            if (height == 0)
                height = qFromLittleEndian<quint16>(image + 2) + qFromLittleEndian<quint16>(image + 6);
            return width > 0 && height > 0 ? QSize(width, height) : QSize();
        }
        uchar label = 0;
        if (introducer != 0x21 || !in.next(label))
            return QSize();
        // The decoder takes the first block of a graphic control or application
        // extension whole, whatever its size byte says, even 0.
        uchar size = 0;
        if ((label == 0xF9 || label == 0xFF) && (!in.next(size) || !in.skip(size)))
            return QSize();
        if (!skipSubBlocks(in))
            return QSize();
    }
}

Bitmap bitmap(QIODevice &device)
{
    constexpr int kFileHeader = 14;
    device.seek(0);
    const QByteArray head = device.read(kFileHeader + 124);
    if (!head.startsWith("BM") || head.size() < kFileHeader + 4)
        return {};
    const auto *d = reinterpret_cast<const uchar *>(head.constData()) + kFileHeader;
    const qint32 infoSize = qFromLittleEndian<qint32>(d);
    qint64 width = 0, height = 0;
    int planes = 0, bits = 0;
    qint32 compression = 0;
    if (infoSize == 40 || infoSize == 64 || infoSize == 108 || infoSize == 124) {
        // Read as far as Qt's reader reads: the version 4 and 5 headers whole.
        if (head.size() < kFileHeader + (infoSize >= 108 ? infoSize : 40))
            return {};
        width = qFromLittleEndian<qint32>(d + 4);
        height = qFromLittleEndian<qint32>(d + 8);
        planes = qFromLittleEndian<qint16>(d + 12);
        bits = qFromLittleEndian<qint16>(d + 14);
        compression = qFromLittleEndian<qint32>(d + 16);
    } else {  // any other size is taken for the old header of 16-bit sides
        if (head.size() < kFileHeader + 12)
            return {};
        width = qFromLittleEndian<qint16>(d + 4);
        height = qFromLittleEndian<qint16>(d + 6);
        planes = qFromLittleEndian<qint16>(d + 8);
        bits = qFromLittleEndian<qint16>(d + 10);
    }
    const bool depth = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    const bool packing = compression == 0 || (compression == 1 && bits == 8) || (compression == 2 && bits == 4)
        || (compression == 3 && (bits == 16 || bits == 32));
    // Qt's reader believes no more than 16384 x 16384 pixels, and no INT_MIN height.
    if (!depth || planes != 1 || !packing || width <= 0 || height == 0 || height == INT_MIN
        || width * qAbs(height) > qint64(16384) * 16384)
        return {};
    return {QSize(int(width), int(qAbs(height))), bits <= 8 ? 1 : 4};
}

bool gifIsBlank(QIODevice &device)
{
    ByteStream in(device);
    uchar screen[13];
    if (!in.read(screen, sizeof screen) || std::memcmp(screen, "GIF8", 4) != 0)
        return false;
    if ((screen[10] & 0x80) && !in.skip(3 * (2 << (screen[10] & 7))))
        return false;
    for (uchar introducer = 0;;) {
        if (!in.next(introducer))
            return false;
        if (introducer == 0x3B)
            return true;
        if (introducer == 0x21) {
            uchar label = 0;
            if (!in.next(label) || !skipSubBlocks(in))
                return false;
            continue;
        }
        uchar image[9];
        if (introducer != 0x2C || !in.read(image, sizeof image))
            return false;
        if (qFromLittleEndian<quint16>(image + 4) != 0 && qFromLittleEndian<quint16>(image + 6) != 0)
            return false;
        // An image without pixels may end right there, without its colours or data.
        uchar following = 0;
        if (!in.next(following))
            return false;
        if (following == 0x3B)
            return true;
        const int colours = (image[8] & 0x80) ? 3 * (2 << (image[8] & 7)) : 0;
        if (colours > 0 && (!in.skip(colours - 1) || !in.next(following)))
            return false;
        // `following` is the code size; the data blocks come next.
        if (!skipSubBlocks(in))
            return false;
    }
}

QSize allocatedSize(QSize reported)
{
    if (reported == QSize())
        return QSize();
    auto side = [](int length) { return int(qMin<qint64>(qAbs(qint64(length)), INT_MAX)); };
    return QSize(side(reported.width()), side(reported.height()));
}

QList<IconImage> iconImages(QIODevice &device)
{
    QList<IconImage> images;
    device.seek(0);
    const QByteArray head = device.read(6);
    if (head.size() < 6)
        return images;
    // Real icons hold a few dozen images at most; the count alone is no cost.
    const int count = qMin<int>(qFromLittleEndian<quint16>(head.constData() + 4), kMaxIconImages);
    const QByteArray directory = device.read(16 * count);
    for (qsizetype i = 0; i < directory.size() / 16; ++i) {
        const auto *e = reinterpret_cast<const uchar *>(directory.constData()) + 16 * i;
        IconImage image;
        image.bitCount = qFromLittleEndian<quint16>(e + 6);
        int width = e[0] ? e[0] : 256;
        int height = e[1] ? e[1] : 256;
        const quint32 offset = qFromLittleEndian<quint32>(e + 12);
        const QByteArray data = device.seek(offset) ? device.read(25) : QByteArray();
        const auto *d = reinterpret_cast<const uchar *>(data.constData());
        if (data.size() == 25 && data.startsWith("\x89PNG\r\n\x1A\n")) {
            // Decoded as a PNG at the size and sample depth of its own header.
            width = int(qMin<quint32>(qFromBigEndian<quint32>(d + 16), 1 << 30));
            height = int(qMin<quint32>(qFromBigEndian<quint32>(d + 20), 1 << 30));
            image.bytesPerPixel = d[24] == 16 ? 8 : 4;
        } else if (data.size() >= 16) {
            if (!e[0])
                width = qFromLittleEndian<qint32>(d + 4);
            if (!e[1])
                height = qFromLittleEndian<qint32>(d + 8) / 2;
            if (!image.bitCount)
                image.bitCount = qFromLittleEndian<quint16>(d + 14);
        }
        // A bitmap header's sides are signed: one that is not positive gives no picture.
        image.size = width > 0 && height > 0 ? QSize(width, height) : QSize();
        images.append(image);
    }
    return images;
}

}  // namespace rt::header
