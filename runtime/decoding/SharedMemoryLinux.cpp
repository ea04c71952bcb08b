#include "runtime/decoding/SharedMemory.h"

#include "runtime/decoding/HugePages.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace rt::decoding {

namespace {

constexpr int kSizeSeals = F_SEAL_SHRINK | F_SEAL_GROW;

struct Mapping
{
    void *address;
    size_t length;
};

void unmap(void *info)
{
    const auto *mapping = static_cast<Mapping *>(info);
    ::munmap(mapping->address, mapping->length);
    delete mapping;
}

int newMemory(qint64 length)
{
    const int fd = ::memfd_create("pixmoor", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd >= 0 && (::ftruncate(fd, length) != 0 || ::fcntl(fd, F_ADD_SEALS, kSizeSeals) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t written = ::pwrite(fd, data + done, size_t(qMin<qint64>(size - done, qint64(1) << 30)), done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

Passed sharedBytes(const QByteArray &bytes)
{
    const int fd = ::memfd_create("pixmoor", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return kNone;
    if (!writeAll(fd, bytes.constData(), bytes.size())
        || ::fcntl(fd, F_ADD_SEALS, kSizeSeals | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return kNone;
    }
    return fd;
}

void closeShared(Passed memory)
{
    if (memory >= 0)
        ::close(int(memory));
}

PixelBuffer::PixelBuffer(qint64 length)
{
    const int fd = length > 0 ? newMemory(length) : -1;
    if (fd >= 0) {
        memory_ = fd;
        length_ = length;
    }
}

PixelBuffer::~PixelBuffer() { closeShared(memory_); }

bool PixelBuffer::freeze(bool)
{
    // Refused (EBUSY) while a writable mapping of it remains anywhere.
    return !isNull() && ::fcntl(int(memory_), F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SEAL) == 0;
}

QImage PixelBuffer::image(QSize size, qint64 bytesPerLine, QImage::Format format) const
{
    const int seals = isNull() ? -1 : ::fcntl(int(memory_), F_GET_SEALS);
    if (seals < 0 || (seals & (kSizeSeals | F_SEAL_WRITE)) != (kSizeSeals | F_SEAL_WRITE)
        || !pixelsFit(size, bytesPerLine, format, length_))
        return QImage();
    const size_t length = size_t(bytesPerLine * size.height());
    // Pages come in as they are read: the large view reads only what it shows.
    void *address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, int(memory_), 0);
    if (address == MAP_FAILED)
        return QImage();
    auto *mapping = new Mapping{address, length};
    const QImage image(static_cast<const uchar *>(address), size.width(), size.height(), bytesPerLine, format, unmap,
                       mapping);
    if (image.isNull())
        unmap(mapping);
    return image;
}

AnswerBuffer::AnswerBuffer(Passed memory, qint64 length) : memory_(memory), length_(length)
{
    struct stat status;
    // Only what the program sized: a buffer shorter than it says is none.
    if (memory_ < 0 || ::fstat(int(memory_), &status) != 0 || status.st_size < length_)
        length_ = 0;
}

AnswerBuffer::~AnswerBuffer() { closeShared(memory_); }

QImage AnswerBuffer::blank(QSize size, QImage::Format format)
{
    const qint64 bytesPerLine = packedBytesPerLine(size.width(), format);
    if (!pixelsFit(size, bytesPerLine, format, length_))
        return QImage();
    const size_t bytes = size_t(bytesPerLine * size.height());
    void *block = hugePages(bytes);
    if (!block)
        return QImage();
    // Written through a mapping of the buffer, a full-size picture would
    // fault in every page of it: it is decoded here and copied by place().
    QImage image(
        static_cast<uchar *>(block), size.width(), size.height(), bytesPerLine, format,
        [](void *info) {
            auto *held = static_cast<std::pair<void *, size_t> *>(info);
            releaseHugePages(held->first, held->second);
            delete held;
        },
        new std::pair<void *, size_t>(block, bytes));
    return image;
}

bool AnswerBuffer::place(const QImage &image)
{
    if (image.isNull() || image.sizeInBytes() > length_)
        return false;
    return writeAll(int(memory_), reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
}

}  // namespace rt::decoding
