#include "runtime/decoding/SharedPixels.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace rt::decoding {

namespace {

constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;

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

} // namespace

int sealedFile(const void *data, qint64 size)
{
    const int fd = ::memfd_create("pixmoor", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    // Written, not mapped: the bytes never count twice against the writer's address space.
    const char *next = static_cast<const char *>(data);
    qint64 left = size;
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(qMin<qint64>(left, qint64(1) << 30)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        next += written;
        left -= written;
    }
    if (left > 0 || ::fcntl(fd, F_ADD_SEALS, kSeals | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int sealedPixels(const QImage &image)
{
    return sealedFile(image.constBits(), image.sizeInBytes());
}

QImage mappedPixels(int fd, QSize size, qint64 bytesPerLine, QImage::Format format)
{
    if (size.isEmpty() || format <= QImage::Format_Indexed8 || format >= QImage::NImageFormats)
        return QImage();  // no format with a colour table crosses
    const qint64 bitsPerPixel = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 length = bytesPerLine * size.height();
    struct stat status;
    if (bytesPerLine % 4 != 0 || bytesPerLine * 8 < bitsPerPixel * size.width() || length / size.height() != bytesPerLine
        || (::fcntl(fd, F_GET_SEALS) & kSeals) != kSeals || ::fstat(fd, &status) != 0 || status.st_size < length)
        return QImage();
    void *address = ::mmap(nullptr, size_t(length), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (address == MAP_FAILED)
        return QImage();
    auto *mapping = new Mapping{address, size_t(length)};
    const QImage image(static_cast<const uchar *>(address), size.width(), size.height(), bytesPerLine, format, unmap,
                       mapping);
    if (image.isNull())
        unmap(mapping);
    return image;
}

} // namespace rt::decoding
