#include "GifWriter.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace testart {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;  // 4096

// Packs variable-width codes least significant bit first, as GIF wants.
class BitPacker
{
public:
    void put(int code, int width)
    {
        acc_ |= quint32(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            out_.append(char(acc_ & 0xff));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    QByteArray finish()
    {
        if (bits_ > 0)
            out_.append(char(acc_ & 0xff));
        acc_ = 0;
        bits_ = 0;
        return out_;
    }

private:
    QByteArray out_;
    quint32 acc_ = 0;
    int bits_ = 0;
};

void putLe16(QByteArray &out, int v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

// A 6x6x6 colour cube, used when a transparent index is needed but the exact
// reduction already took all 256 entries.
QList<QRgb> cubeTable()
{
    QList<QRgb> table;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                table.append(qRgb(r * 51, g * 51, b * 51));
    return table;
}

}  // namespace

QByteArray lzwEncode(const uchar *indices, qsizetype count, int minCodeSize)
{
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    const int alphabet = 1 << minCodeSize;

    // child[prefix * alphabet + symbol] = code of (prefix, symbol), 0 = none.
    // Code 0 is never a multi-symbol string, so 0 is free to mean "absent".
    std::vector<quint16> child(size_t(kMaxCodes) * size_t(alphabet), 0);

    BitPacker bits;
    int width = minCodeSize + 1;
    int nextCode = endCode + 1;

    auto reset = [&] {
        std::fill(child.begin(), child.end(), quint16(0));
        width = minCodeSize + 1;
        nextCode = endCode + 1;
    };

    bits.put(clearCode, width);
    if (count > 0) {
        int prefix = indices[0];
        for (qsizetype i = 1; i < count; ++i) {
            const int k = indices[i];
            const size_t slot = size_t(prefix) * size_t(alphabet) + size_t(k);
            if (child[slot] != 0) {
                prefix = child[slot];
                continue;
            }
            bits.put(prefix, width);
            if (nextCode < kMaxCodes) {
                child[slot] = quint16(nextCode++);
                // The decoder adds its entry one code later, so it widens when
                // its table size passes 1 << width: match that exactly.
                if (nextCode > (1 << width) && width < kMaxCodeBits)
                    ++width;
            } else {
                bits.put(clearCode, width);
                reset();
            }
            prefix = k;
        }
        bits.put(prefix, width);
    }
    bits.put(endCode, width);
    return bits.finish();
}

QByteArray encodeGif(const QImage &source)
{
    if (source.isNull() || source.width() > 0xffff || source.height() > 0xffff)
        return {};

    const bool wantsAlpha = source.hasAlphaChannel();
    QImage indexed;
    int transparentIndex = -1;

    if (source.format() == QImage::Format_Indexed8 && !wantsAlpha) {
        indexed = source;
    } else {
        const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
        indexed = rgb.convertToFormat(QImage::Format_Indexed8);
        if (wantsAlpha) {
            // Find whether any pixel is transparent at all.
            const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
            bool anyClear = false;
            for (int y = 0; y < argb.height() && !anyClear; ++y) {
                const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
                for (int x = 0; x < argb.width(); ++x) {
                    if (qAlpha(line[x]) < 128) {
                        anyClear = true;
                        break;
                    }
                }
            }
            if (anyClear) {
                if (indexed.colorCount() >= 256)
                    indexed = rgb.convertToFormat(QImage::Format_Indexed8, cubeTable());
                transparentIndex = indexed.colorCount();
                QList<QRgb> table = indexed.colorTable();
                table.append(qRgb(0, 0, 0));
                indexed.setColorTable(table);
                for (int y = 0; y < argb.height(); ++y) {
                    const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
                    uchar *dst = indexed.scanLine(y);
                    for (int x = 0; x < argb.width(); ++x) {
                        if (qAlpha(line[x]) < 128)
                            dst[x] = uchar(transparentIndex);
                    }
                }
            }
        }
    }
    if (indexed.isNull())
        return {};

    const int w = indexed.width();
    const int h = indexed.height();
    const QList<QRgb> table = indexed.colorTable();

    QByteArray out;
    out.reserve(800 + w * h);
    out.append("GIF89a", 6);

    // Logical screen descriptor: global table of 2^(7+1) = 256 entries,
    // 8 bits of colour resolution.
    putLe16(out, w);
    putLe16(out, h);
    out.append(char(0x80 | (7 << 4) | 7));
    out.append(char(0));  // background colour index
    out.append(char(0));  // pixel aspect ratio: not given

    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table.at(i) : qRgb(0, 0, 0);
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }

    if (transparentIndex >= 0) {
        out.append(char(0x21));
        out.append(char(0xf9));
        out.append(char(4));
        out.append(char(0x01));  // transparent colour flag, no disposal
        putLe16(out, 0);         // delay
        out.append(char(transparentIndex));
        out.append(char(0));
    }

    // Image descriptor: whole screen, no local table, not interlaced.
    out.append(char(0x2c));
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, w);
    putLe16(out, h);
    out.append(char(0));

    std::vector<uchar> pixels;
    pixels.reserve(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uchar *line = indexed.constScanLine(y);
        pixels.insert(pixels.end(), line, line + w);
    }

    constexpr int minCodeSize = 8;
    const QByteArray data = lzwEncode(pixels.data(), qsizetype(pixels.size()), minCodeSize);
    out.append(char(minCodeSize));
    for (qsizetype pos = 0; pos < data.size(); pos += 255) {
        const qsizetype n = std::min<qsizetype>(255, data.size() - pos);
        out.append(char(n));
        out.append(data.constData() + pos, n);
    }
    out.append(char(0));     // block terminator
    out.append(char(0x3b));  // trailer
    return out;
}

bool writeGif(const QImage &image, const QString &fileName)
{
    const QByteArray bytes = encodeGif(image);
    if (bytes.isEmpty())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

}  // namespace testart
