#include "BmpIcoWriter.h"

#include <climits>

namespace testart {

namespace {

void le16(QByteArray &out, quint32 v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

void le32(QByteArray &out, quint32 v)
{
    le16(out, v & 0xffff);
    le16(out, v >> 16);
}

void infoHeader(QByteArray &out, int width, int height, int bitCount, quint32 sizeImage, quint32 coloursUsed)
{
    le32(out, 40);
    le32(out, quint32(width));
    le32(out, quint32(height));
    le16(out, 1);  // planes
    le16(out, quint32(bitCount));
    le32(out, 0);  // BI_RGB
    le32(out, sizeImage);
    le32(out, 0);  // x pixels per metre
    le32(out, 0);  // y pixels per metre
    le32(out, coloursUsed);
    le32(out, 0);  // important colours: all
}

}  // namespace

QByteArray encodeBmp24(const QImage &source, int trailingPad)
{
    if (source.isNull() || trailingPad < 0)
        return {};
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width();
    const int h = image.height();
    const int stride = (w * 3 + 3) & ~3;
    const quint32 sizeImage = quint32(stride) * quint32(h) + quint32(trailingPad);
    const quint32 offBits = 14 + 40;

    QByteArray out;
    out.reserve(int(offBits + sizeImage));
    out.append("BM", 2);
    le32(out, offBits + sizeImage);
    le16(out, 0);
    le16(out, 0);
    le32(out, offBits);
    infoHeader(out, w, h, 24, sizeImage, 0);

    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
        }
        for (int p = w * 3; p < stride; ++p)
            out.append(char(0));
    }
    out.append(QByteArray(trailingPad, '\0'));
    return out;
}

const QList<QRgb> &vgaPalette()
{
    static const QList<QRgb> palette = {
        qRgb(0x00, 0x00, 0x00), qRgb(0x80, 0x00, 0x00), qRgb(0x00, 0x80, 0x00), qRgb(0x80, 0x80, 0x00),
        qRgb(0x00, 0x00, 0x80), qRgb(0x80, 0x00, 0x80), qRgb(0x00, 0x80, 0x80), qRgb(0xc0, 0xc0, 0xc0),
        qRgb(0x80, 0x80, 0x80), qRgb(0xff, 0x00, 0x00), qRgb(0x00, 0xff, 0x00), qRgb(0xff, 0xff, 0x00),
        qRgb(0x00, 0x00, 0xff), qRgb(0xff, 0x00, 0xff), qRgb(0x00, 0xff, 0xff), qRgb(0xff, 0xff, 0xff),
    };
    return palette;
}

int nearestVga(QRgb c)
{
    const QList<QRgb> &pal = vgaPalette();
    int best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i < pal.size(); ++i) {
        const int dr = qRed(c) - qRed(pal[i]);
        const int dg = qGreen(c) - qGreen(pal[i]);
        const int db = qBlue(c) - qBlue(pal[i]);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

QByteArray encodeIco16(const QList<QImage> &images)
{
    if (images.isEmpty() || images.size() > 0xffff)
        return {};

    QList<QByteArray> bodies;
    for (const QImage &source : images) {
        if (source.isNull() || source.width() > 256 || source.height() > 256)
            return {};
        const QImage image = source.convertToFormat(QImage::Format_ARGB32);
        const int w = image.width();
        const int h = image.height();
        const int xorStride = ((w * 4 + 31) / 32) * 4;
        const int andStride = ((w + 31) / 32) * 4;

        QByteArray body;
        // Height counts the XOR and AND bitmaps together.
        infoHeader(body, w, h * 2, 4, quint32((xorStride + andStride) * h), 16);
        for (QRgb c : vgaPalette()) {
            body.append(char(qBlue(c)));
            body.append(char(qGreen(c)));
            body.append(char(qRed(c)));
            body.append(char(0));
        }

        QByteArray xorBits(xorStride * h, '\0');
        QByteArray andBits(andStride * h, '\0');
        for (int y = 0; y < h; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            const int row = h - 1 - y;  // bottom-up
            for (int x = 0; x < w; ++x) {
                int index = 0;
                if (qAlpha(line[x]) < 128)
                    andBits[row * andStride + x / 8] = char(andBits[row * andStride + x / 8] | (0x80 >> (x % 8)));
                else
                    index = nearestVga(line[x]);
                char &byte = xorBits[row * xorStride + x / 2];
                byte = char(byte | (x % 2 == 0 ? index << 4 : index));
            }
        }
        body.append(xorBits);
        body.append(andBits);
        bodies.append(body);
    }

    QByteArray out;
    le16(out, 0);  // reserved
    le16(out, 1);  // type: icon
    le16(out, quint32(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const QImage &image = images.at(i);
        out.append(char(image.width() == 256 ? 0 : image.width()));
        out.append(char(image.height() == 256 ? 0 : image.height()));
        out.append(char(16));  // colours in the palette
        out.append(char(0));
        le16(out, 1);  // planes
        le16(out, 4);  // bits per pixel
        le32(out, quint32(bodies.at(i).size()));
        le32(out, offset);
        offset += quint32(bodies.at(i).size());
    }
    for (const QByteArray &body : bodies)
        out.append(body);
    return out;
}

}  // namespace testart
