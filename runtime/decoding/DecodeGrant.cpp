#include "runtime/decoding/DecodeGrant.h"

#include "runtime/pictures/PictureHeader.h"
#include "runtime/pictures/PictureLoader.h"

#include <QIODevice>

namespace rt::decoding {

namespace {

qint64 area(QSize size)
{
    return size.isValid() ? qint64(size.width()) * size.height() : 0;
}

// Pixels are decoded as 32 bits; a decode whose result is shrunk, and one
// whose transparency makes the smooth scaling premultiply, holds a second copy.
qint64 pixelBytes(qint64 pixels)
{
    return 2 * 4 * qMin(pixels, kMaxPixels);
}

} // namespace

qint64 maxGrant()
{
    return kWorkingBytes + pixelBytes(kMaxPixels) + kMaxCoefficientBytes;
}

qint64 decodeGrant(QIODevice &device, QSize fill)
{
    const QByteArray format = header::sniffFormat(device);
    if (format.isEmpty())
        return kWorkingBytes;  // refused before anything is decoded
    qint64 pixels = kMaxPixels;
    qint64 coefficients = 0;
    if (format == "jpeg") {
        const header::JpegLayout layout = header::jpegLayout(device);
        coefficients = layout.progressive || layout.scans > 1 ? qMin(layout.coefficientBytes, kMaxCoefficientBytes) : 0;
        // A single-scan JPEG is decoded at the size asked; its header's size is what it may cost.
        if (area(layout.size) > 0)
            pixels = coefficients == 0 && fill.isValid() ? qMin(area(layout.size), 16 * area(fill))
                                                         : area(layout.size);
    } else if (format == "gif") {
        if (const qint64 screen = area(header::gifScreen(device, QSize())); screen > 0)
            pixels = screen;
    } else if (format == "ico") {
        qint64 largest = 0;
        for (const header::IconImage &icon : header::iconImages(device))
            largest = qMax(largest, area(icon.size));
        if (largest > 0)
            pixels = largest;
    }
    return kWorkingBytes + pixelBytes(pixels) + coefficients;
}

} // namespace rt::decoding
