#include "runtime/decoding/SharedMemory.h"

namespace rt::decoding {

bool pixelsFit(QSize size, qint64 bytesPerLine, QImage::Format format, qint64 length)
{
    if (size.isEmpty() || format <= QImage::Format_Indexed8 || format >= QImage::NImageFormats)
        return false;
    const qint64 bitsPerPixel = QImage::toPixelFormat(format).bitsPerPixel();
    return bytesPerLine > 0 && bytesPerLine <= length / size.height() && bytesPerLine % 4 == 0
        && bytesPerLine * 8 >= bitsPerPixel * size.width();
}

qint64 packedBytesPerLine(int width, QImage::Format format)
{
    return (qint64(qMax(width, 0)) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
}

}  // namespace rt::decoding
