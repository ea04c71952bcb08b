// A JPEG's layout, read from its markers as libjpeg reads them up to its first
// scan (further when every scan is counted), without decoding anything.
#include "runtime/pictures/ByteStream.h"
#include "runtime/pictures/Exif.h"
#include "runtime/pictures/PictureHeader.h"

#include <QtEndian>

namespace rt::header {

namespace {

// Qt's reader takes the orientation from the APP1 segments joined. Cameras
// write EXIF data of at most 64 KB, in the first of them; only a crafted
// file's points past this much (read as if its APP1 data ended here).
constexpr qint64 kMaxApp1Bytes = 1 << 20;

bool isFrameHeader(uchar marker)
{
    // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers whose length libjpeg never checks: a length under 2 is skipped as
// no data (APPn, COM, DNL); any other marker with one ends its header read.
bool lengthUnchecked(uchar marker) { return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE || marker == 0xDC; }

qint64 blocks(qint64 pixels, int factor, int largest)
{
    const qint64 samples = (pixels * factor + largest - 1) / largest;
    const qint64 count = (samples + 7) / 8;
    return (count + factor - 1) / factor * factor;  // whole MCUs
}

// Appends an APP1 segment's body to those before it, as far as they are
// kept; false when the file ends inside it.
bool keepApp1(ByteStream &in, int body, QByteArray &app1)
{
    const qint64 kept = qMin<qint64>(body, kMaxApp1Bytes - app1.size());
    const qsizetype at = app1.size();
    app1.resize(at + kept);
    return in.read(reinterpret_cast<uchar *>(app1.data()) + at, kept) && in.skip(body - kept);
}

// Whether more APP1 segments may change what Qt's reader finds: the data
// joined so far begins as EXIF data would, and there is room for more.
bool mayBeExif(const QByteArray &app1)
{
    const QByteArrayView header("Exif\0\0", 6);
    const qsizetype compared = qMin(header.size(), app1.size());
    return app1.size() < kMaxApp1Bytes && QByteArrayView(app1).first(compared) == header.first(compared);
}

}  // namespace

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
    QByteArray app1;
    bool keepingApp1 = true;
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
        if (body < 0 && lengthUnchecked(marker))
            continue;
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
        if (marker == 0xE1 && layout.scans == 0 && keepingApp1) {
            if (!keepApp1(in, body, app1))
                break;
            keepingApp1 = mayBeExif(app1);
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
    layout.orientation = exif::orientation(app1);
    if (layout.size.isValid() && (layout.progressive || partialFirstScan)) {
        int hMax = 1, vMax = 1;
        for (const Component &c : components) {
            hMax = qMax(hMax, c.h);
            vMax = qMax(vMax, c.v);
        }
        for (const Component &c : components)
            layout.coefficientBytes +=
                blocks(layout.size.width(), c.h, hMax) * blocks(layout.size.height(), c.v, vMax) * 64 * 2;
    }
    return layout;
}

}  // namespace rt::header
