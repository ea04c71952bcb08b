#include "runtime/pictures/PictureHeader.h"

#include "runtime/pictures/ByteStream.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace rt::header {

namespace {

constexpr int kMaxIconImages = 256;
constexpr qint64 kJpegStrayBytes = 64 * 1024;

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

bool isFrameHeader(uchar marker)
{
    // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

qint64 blocks(qint64 pixels, int factor, int largest)
{
    const qint64 samples = (pixels * factor + largest - 1) / largest;
    const qint64 count = (samples + 7) / 8;
    return (count + factor - 1) / factor * factor;  // whole MCUs
}

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

} // namespace

QByteArray sniffFormat(QIODevice &device)
{
    device.seek(0);
    const QByteArray head = device.peek(8);
    if (head.startsWith("BM"))
        return "bmp";
    if (startsLikeJpeg(head) || (head.startsWith("\xFF\xD8") && startsLikeJpeg(device.peek(kJpegStrayBytes))))
        return "jpeg";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gif";
    if (head.size() >= 6 && head[0] == 0 && head[1] == 0 && (head[2] == 1 || head[2] == 2) && head[3] == 0
        && (head[4] != 0 || head[5] != 0))
        return "ico";
    return QByteArray();
}

QSize gifScreen(QIODevice &device, QSize firstImageExtent)
{
    device.seek(0);
    const QByteArray head = device.read(10);
    if (head.size() < 10)
        return QSize();
    const auto *bytes = reinterpret_cast<const uchar *>(head.constData());
    int width = qFromLittleEndian<quint16>(bytes + 6);
    int height = qFromLittleEndian<quint16>(bytes + 8);
    if (width == 0)
        width = firstImageExtent.width();
    if (height == 0)
        height = firstImageExtent.height();
    return width > 0 && height > 0 ? QSize(width, height) : QSize();
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

JpegLayout jpegLayout(QIODevice &device, ScanCount count)
{
    JpegLayout layout;
    ByteStream in(device);
    uchar start[2];
    if (!in.read(start, 2) || start[0] != 0xFF || start[1] != 0xD8)
        return layout;
    struct Component
    {
        int h, v;
    };
    QList<Component> components;
    uchar marker = 0;
    bool pending = false;  // a marker found at the end of entropy-coded data
    bool partialFirstScan = false;
    for (;;) {
        if (!pending && !in.nextMarker(marker))
            break;
        pending = false;
        if (marker == 0xD9)
            break;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;
        uchar length[2];
        if (!in.read(length, 2))
            break;
        const int body = qFromBigEndian<quint16>(length) - 2;
        if (body < 0)
            break;
        if (isFrameHeader(marker) && !layout.size.isValid()) {
            QByteArray frame(body, Qt::Uninitialized);
            if (body < 6 || !in.read(reinterpret_cast<uchar *>(frame.data()), body))
                break;
            const auto *f = reinterpret_cast<const uchar *>(frame.constData());
            layout.size = QSize(qFromBigEndian<quint16>(f + 3), qFromBigEndian<quint16>(f + 1));
            layout.progressive = (marker & 0x03) == 0x02;  // SOF2, SOF6, SOF10, SOF14
            for (int i = 0; i < f[5] && 6 + 3 * i + 2 < body; ++i) {
                const uchar sampling = f[6 + 3 * i + 1];
                components.append({qMax(1, sampling >> 4), qMax(1, sampling & 0x0F)});
            }
            continue;
        }
        if (marker != 0xDA) {
            if (!in.skip(body))
                break;
            continue;
        }
        uchar inScan = 0;
        if (body < 1 || !in.read(&inScan, 1) || !in.skip(body - 1))
            break;
        ++layout.scans;
        if (layout.scans == 1) {
            // As libjpeg decides here: a first scan of every component, in
            // sequence, is decoded in one pass with no coefficient kept,
            // whatever follows.
            partialFirstScan = inScan < components.size();
            if (count == ScanCount::UpToFirst || !(layout.progressive || partialFirstScan))
                break;
        }
        if (!in.nextMarker(marker))
            break;
        pending = true;
    }
    if (layout.size.isValid() && (layout.progressive || partialFirstScan)) {
        int hMax = 1, vMax = 1;
        for (const Component &c : components) {
            hMax = qMax(hMax, c.h);
            vMax = qMax(vMax, c.v);
        }
        for (const Component &c : components)
            layout.coefficientBytes += blocks(layout.size.width(), c.h, hMax)
                                     * blocks(layout.size.height(), c.v, vMax) * 64 * 2;
    }
    return layout;
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

} // namespace rt::header
