#pragma once

#include "runtime/decoding/WorkerWire.h"

#include <QByteArray>
#include <QImage>

// Memory handed between the program and a decoder: an anonymous memory file
// on Linux, a mapping of the paging file on Windows. Neither can shrink under
// a reader, so a view once made never faults.
namespace rt::decoding {

// `bytes` in a new read-only shared memory object (a picture held in memory);
// kNone on failure. The caller closes it with closeShared().
Passed sharedBytes(const QByteArray &bytes);
void closeShared(Passed memory);

// Whether an image of `size`, `bytesPerLine` and `format` lies whole within
// `length` bytes, in a format without a colour table (none crosses).
bool pixelsFit(QSize size, qint64 bytesPerLine, QImage::Format format, qint64 length);
// The line length QImage gives an image of `width` pixels in `format`.
qint64 packedBytesPerLine(int width, QImage::Format format);

// The program's side: the buffer a decoder answers in, made before the
// decoder is asked, every byte zero, sized for the largest answer allowed
// and unable to grow or shrink.
class PixelBuffer
{
public:
    explicit PixelBuffer(qint64 length);
    ~PixelBuffer();
    PixelBuffer(const PixelBuffer &) = delete;
    PixelBuffer &operator=(const PixelBuffer &) = delete;

    bool isNull() const { return memory_ == kNone; }
    qint64 length() const { return length_; }
    Passed memory() const { return memory_; }

    // Makes what the buffer holds final: true once nobody can write it any
    // more. Linux seals it against writing, which fails while a decoder
    // still maps it writable; Windows can only count on `writerGone`.
    bool freeze(bool writerGone);

    // The image the buffer holds, mapped read-only for as long as the image
    // lives; null when the buffer is too short for the width, height, line
    // length and format given, or holds a format with a colour table.
    QImage image(QSize size, qint64 bytesPerLine, QImage::Format format) const;

private:
    Passed memory_ = kNone;
    qint64 length_ = 0;
};

// The decoder's side of the buffer it was handed.
class AnswerBuffer
{
public:
    AnswerBuffer(Passed memory, qint64 length);
    ~AnswerBuffer();  // unmaps and closes: the program may freeze it once the answer is read
    AnswerBuffer(const AnswerBuffer &) = delete;
    AnswerBuffer &operator=(const AnswerBuffer &) = delete;

    // A writable image of `size` and `format` to decode into, where pixels
    // cost least to write (Linux: private memory in huge pages; Windows: the
    // buffer itself); null when it would not fit the buffer.
    QImage blank(QSize size, QImage::Format format);
    // Puts `image` into the buffer, unless it lies there already; false when
    // it does not fit.
    bool place(const QImage &image);
    Passed memory() const { return memory_; }
    qint64 length() const { return length_; }

private:
    Passed memory_;
    qint64 length_;
    uchar *view_ = nullptr;
};

}  // namespace rt::decoding
