#include "runtime/decoding/SharedPixels.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>
#include <vector>

namespace rt::decoding {

namespace {

constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
// Sealed against every writer to come, while the one that wrote it still maps it.
constexpr int kSealsWhileMapped = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_FUTURE_WRITE;

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

bool seal(int fd, int seals = kSeals)
{
    return ::fcntl(fd, F_ADD_SEALS, seals | F_SEAL_SEAL) == 0;
}

bool isSealed(int fd)
{
    const int seals = ::fcntl(fd, F_GET_SEALS);
    return seals >= 0 && (seals & (F_SEAL_SHRINK | F_SEAL_GROW)) == (F_SEAL_SHRINK | F_SEAL_GROW)
        && (seals & (F_SEAL_WRITE | F_SEAL_FUTURE_WRITE)) != 0;
}

// A file sharedBlank() made, while the decoder writes into it through its mapping.
struct Blank
{
    int fd;         // -1 once handed over
    void *address;  // null once unmapped
    size_t length;
    QImage handedOver;  // the decoder's own view of pixels already sent, let go after the answer
};

// The decoder decodes one picture at a time: the blanks made for it.
std::vector<std::unique_ptr<Blank>> blanks;

void unmapBlank(void *info)
{
    auto *blank = static_cast<Blank *>(info);
    ::munmap(blank->address, blank->length);
    blank->address = nullptr;
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
    if (left > 0 || !seal(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int sealedPixels(const QImage &image)
{
    return sealedFile(image.constBits(), image.sizeInBytes());
}

QImage sharedBlank(QSize size, QImage::Format format)
{
    if (size.isEmpty() || format <= QImage::Format_Indexed8 || format >= QImage::NImageFormats)
        return QImage();
    const qint64 bytesPerLine = (qint64(size.width()) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    const qint64 length = bytesPerLine * size.height();
    if (length / size.height() != bytesPerLine)
        return QImage();
    const int fd = ::memfd_create("pixmoor", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return QImage();
    void *address = ::ftruncate(fd, length) == 0
                         ? ::mmap(nullptr, size_t(length), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                         : MAP_FAILED;
    if (address == MAP_FAILED) {
        ::close(fd);
        return QImage();
    }
    blanks.push_back(std::make_unique<Blank>(Blank{fd, address, size_t(length), QImage()}));
    QImage image(static_cast<uchar *>(address), size.width(), size.height(), bytesPerLine, format, unmapBlank,
                 blanks.back().get());
    if (image.isNull())
        unmapBlank(blanks.back().get());
    return image;
}

int handOver(QImage &image)
{
    if (image.isNull() || !image.isDetached())
        return -1;
    for (const std::unique_ptr<Blank> &blank : blanks) {
        if (blank->address != image.constBits() || size_t(image.sizeInBytes()) > blank->length)
            continue;
        if (seal(blank->fd, kSealsWhileMapped)) {
            // Unmapping takes a while for a large picture: done once the answer is sent.
            blank->handedOver = std::exchange(image, QImage());
        } else {
            image = QImage();  // the last holder (on a kernel before 5.1): unmapped, so that it can be sealed
            if (blank->address || !seal(blank->fd))
                return -1;
        }
        const int fd = blank->fd;
        blank->fd = -1;
        return fd;
    }
    return -1;
}

void dropBlanks()
{
    for (const std::unique_ptr<Blank> &blank : blanks) {
        blank->handedOver = QImage();
        if (blank->address)
            continue;  // still held by an image: closed with the next picture's
        if (blank->fd >= 0)
            ::close(blank->fd);
        blank->fd = -1;
    }
    std::erase_if(blanks, [](const std::unique_ptr<Blank> &blank) { return blank->fd < 0; });
}

QImage mappedPixels(int fd, QSize size, qint64 bytesPerLine, QImage::Format format)
{
    if (size.isEmpty() || format <= QImage::Format_Indexed8 || format >= QImage::NImageFormats)
        return QImage();  // no format with a colour table crosses
    const qint64 bitsPerPixel = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 length = bytesPerLine * size.height();
    struct stat status;
    if (bytesPerLine % 4 != 0 || bytesPerLine * 8 < bitsPerPixel * size.width() || length / size.height() != bytesPerLine
        || !isSealed(fd) || ::fstat(fd, &status) != 0 || status.st_size < length)
        return QImage();
    // Pages come in as they are read: the large view reads only what it shows.
    void *address = ::mmap(nullptr, size_t(length), PROT_READ, MAP_PRIVATE, fd, 0);
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
