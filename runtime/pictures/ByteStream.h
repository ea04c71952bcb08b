#pragma once

#include <QByteArray>
#include <QIODevice>

#include <cstring>

namespace rt::header {

// Reads a device forward in large chunks, for walks over whole files.
class ByteStream
{
public:
    explicit ByteStream(QIODevice &device) : device_(device) { device_.seek(0); }

    bool next(uchar &byte)
    {
        if (at_ == buffer_.size() && !refill())
            return false;
        byte = uchar(buffer_[at_++]);
        return true;
    }

    bool read(uchar *out, qint64 count)
    {
        while (count > 0) {
            if (at_ == buffer_.size() && !refill())
                return false;
            const qint64 part = qMin<qint64>(count, buffer_.size() - at_);
            std::memcpy(out, buffer_.constData() + at_, size_t(part));
            at_ += part;
            out += part;
            count -= part;
        }
        return true;
    }

    bool skip(qint64 count)
    {
        const qint64 buffered = buffer_.size() - at_;
        if (count <= buffered) {
            at_ += count;
            return true;
        }
        const qint64 target = device_.pos() + (count - buffered);
        at_ = buffer_.size();
        return target <= device_.size() && device_.seek(target);
    }

    // Skips entropy-coded JPEG data up to the next marker and returns its
    // code. Stuffed zeros, restart markers and fill bytes are data here.
    bool nextMarker(uchar &marker)
    {
        for (;;) {
            if (at_ == buffer_.size() && !refill())
                return false;
            const char *from = buffer_.constData() + at_;
            const void *found = std::memchr(from, 0xFF, size_t(buffer_.size() - at_));
            if (!found) {
                at_ = buffer_.size();
                continue;
            }
            at_ += static_cast<const char *>(found) - from + 1;
            uchar code = 0xFF;
            while (code == 0xFF) {
                if (!next(code))
                    return false;
            }
            if (code != 0x00 && (code < 0xD0 || code > 0xD7)) {
                marker = code;
                return true;
            }
        }
    }

private:
    bool refill()
    {
        buffer_ = device_.read(64 * 1024);
        at_ = 0;
        return !buffer_.isEmpty();
    }

    QIODevice &device_;
    QByteArray buffer_;
    qsizetype at_ = 0;
};

}  // namespace rt::header
