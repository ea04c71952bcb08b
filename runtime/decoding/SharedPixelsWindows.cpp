#include "runtime/decoding/SharedPixelsWindows.h"

#include <windows.h>

#include <cstring>

namespace rt::decoding {

namespace {

void unmap(void *address)
{
    UnmapViewOfFile(address);
}

} // namespace

void *sharedBytes(const void *data, qint64 size)
{
    if (size <= 0)
        return nullptr;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, DWORD(quint64(size) >> 32),
                                        DWORD(size), nullptr);
    if (!mapping)
        return nullptr;
    void *view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, SIZE_T(size));
    if (!view) {
        CloseHandle(mapping);
        return nullptr;
    }
    std::memcpy(view, data, size_t(size));
    UnmapViewOfFile(view);
    return mapping;
}

void *sharedPixels(const QImage &image)
{
    return sharedBytes(image.constBits(), image.sizeInBytes());
}

QImage mappedPixels(void *mapping, QSize size, qint64 bytesPerLine, QImage::Format format)
{
    if (size.isEmpty() || format <= QImage::Format_Indexed8 || format >= QImage::NImageFormats)
        return QImage();  // no format with a colour table crosses
    const qint64 bitsPerPixel = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 length = bytesPerLine * size.height();
    if (bytesPerLine % 4 != 0 || bytesPerLine * 8 < bitsPerPixel * size.width() || length / size.height() != bytesPerLine)
        return QImage();
    // Every line is there: a view longer than the mapping's pages is refused.
    void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SIZE_T(length));
    if (!view)
        return QImage();
    const QImage image(static_cast<const uchar *>(view), size.width(), size.height(), bytesPerLine, format, unmap,
                       view);
    if (image.isNull())
        unmap(view);
    return image;
}

} // namespace rt::decoding
