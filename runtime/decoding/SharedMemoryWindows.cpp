#include "runtime/decoding/SharedMemory.h"

#include <windows.h>

#include <cstring>

namespace rt::decoding {

namespace {

void unmap(void *view) { UnmapViewOfFile(view); }

HANDLE newMapping(qint64 length)
{
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, DWORD(quint64(length) >> 32),
                              DWORD(length), nullptr);
}

}  // namespace

Passed sharedBytes(const QByteArray &bytes)
{
    HANDLE mapping = bytes.isEmpty() ? nullptr : newMapping(bytes.size());
    void *view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, SIZE_T(bytes.size())) : nullptr;
    if (!view) {
        if (mapping)
            CloseHandle(mapping);
        return kNone;
    }
    std::memcpy(view, bytes.constData(), size_t(bytes.size()));
    UnmapViewOfFile(view);
    return Passed(mapping);
}

void closeShared(Passed memory)
{
    if (memory != kNone)
        CloseHandle(HANDLE(memory));
}

PixelBuffer::PixelBuffer(qint64 length)
{
    if (HANDLE mapping = length > 0 ? newMapping(length) : nullptr) {
        memory_ = Passed(mapping);
        length_ = length;
    }
}

PixelBuffer::~PixelBuffer() { closeShared(memory_); }

// A mapping cannot be sealed: it is final once the decoder that held it is gone.
bool PixelBuffer::freeze(bool writerGone) { return writerGone && !isNull(); }

QImage PixelBuffer::image(QSize size, qint64 bytesPerLine, QImage::Format format) const
{
    if (isNull() || !pixelsFit(size, bytesPerLine, format, length_))
        return QImage();
    void *view = MapViewOfFile(HANDLE(memory_), FILE_MAP_READ, 0, 0, SIZE_T(bytesPerLine * size.height()));
    if (!view)
        return QImage();
    const QImage image(static_cast<const uchar *>(view), size.width(), size.height(), bytesPerLine, format, unmap,
                       view);
    if (image.isNull())
        unmap(view);
    return image;
}

AnswerBuffer::AnswerBuffer(Passed memory, qint64 length) : memory_(memory), length_(memory == kNone ? 0 : length) {}

AnswerBuffer::~AnswerBuffer()
{
    if (view_)
        UnmapViewOfFile(view_);
    closeShared(memory_);
}

QImage AnswerBuffer::blank(QSize size, QImage::Format format)
{
    const qint64 bytesPerLine = packedBytesPerLine(size.width(), format);
    if (view_ || !pixelsFit(size, bytesPerLine, format, length_))
        return QImage();
    view_ = static_cast<uchar *>(MapViewOfFile(HANDLE(memory_), FILE_MAP_WRITE, 0, 0, SIZE_T(length_)));
    if (!view_)
        return QImage();
    return QImage(
        view_, size.width(), size.height(), bytesPerLine, format,
        [](void *buffer) {
            auto *self = static_cast<AnswerBuffer *>(buffer);
            UnmapViewOfFile(self->view_);
            self->view_ = nullptr;
        },
        this);
}

bool AnswerBuffer::place(const QImage &image)
{
    if (view_ && image.constBits() == view_)
        return true;  // decoded where it goes
    if (image.isNull() || image.sizeInBytes() > length_ || view_)
        return false;
    void *view = MapViewOfFile(HANDLE(memory_), FILE_MAP_WRITE, 0, 0, SIZE_T(image.sizeInBytes()));
    if (!view)
        return false;
    std::memcpy(view, image.constBits(), size_t(image.sizeInBytes()));
    UnmapViewOfFile(view);
    return true;
}

}  // namespace rt::decoding
