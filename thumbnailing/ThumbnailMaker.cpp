#include "thumbnailing/ThumbnailMaker.h"

#include "runtime/services/Platform.h"
#include "runtime/decoding/Decode.h"
#include "runtime/services/Ending.h"
#include "thumbnailing/ExifThumbnail.h"
#include "thumbnailing/SharedThumbnails.h"

#include <QFile>

#include <atomic>

namespace {

// A camera's EXIF segment holds at most 64 KB (its length field is 16 bits)
// and comes first in the file or after a JFIF segment, which is a few bytes
// unless it carries a thumbnail of its own: twice that holds the EXIF segment
// behind either, and the photo's tables up to its first scan. A head that
// ends before that scan gives no thumbnail; the photo is decoded.
constexpr qint64 kHeadBytes = 128 * 1024;

std::atomic<bool> embeddedUsed{true};

bool covers(QSize image, QSize shown) { return image.width() >= shown.width() && image.height() >= shown.height(); }

// The shared cache's thumbnail: the picture fitted into its square, never enlarged.
QImage fitted(const QImage &image, int box)
{
    if (image.width() <= box && image.height() <= box)
        return image;
    return image.scaled(box, box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

Thumbnail makeThumbnail(const QString &path, QSize shown)
{
    if (ending::now())
        return {};  // the program is ending: nobody waits for this any more
    const auto shared = SharedThumbnail::of(path);
    SharedThumbnail::Found found;
    if (shared) {
        found = shared->find(shown);
        if (!found.image.isNull() && covers(found.image.size(), shown)) {
            if (!found.kept)  // valid, but not to the desktop: written again so that it is
                shared->store(found.image, found.fileSize, shown);
            return {found.image, found.fileSize};
        }
        if (found.image.isNull() && !found.kept && shared->failedBefore())
            return {};
    }

    // Opened here first so that a file we cannot read is not marked as one we
    // cannot decode; the head holds a camera's thumbnail, if any.
    QFile file;
    if (const rt::Failure unreadable = rt::platform::openRegularFile(file, path))
        return {};
    const QByteArray head = file.read(kHeadBytes);
    file.close();
    const auto decode = [](const QByteArray &bytes) { return rt::decodePictureBytes(bytes); };
    if (const auto embedded = embeddedUsed ? exifThumbnail(head, shown, decode) : std::nullopt)
        return {embedded->image, embedded->fileSize};

    // Decoded once at the size both the cell and the shared cache need.
    const int box = SharedThumbnail::boxFor(shown);
    const rt::Decoded decoded = rt::decodePicture(path, shown.expandedTo(QSize(box, box)));  // within the decode budget
    if (decoded.image.isNull()) {
        if (shared && !ending::now())  // a decode the end sent away failed nothing
            shared->markFailed();
        return {};
    }
    const QImage thumbnail = fitted(decoded.image, box);
    if (shared && !found.kept)  // what the desktop accepts stays as it is
        shared->store(thumbnail, decoded.fileSize, shown);
    return {covers(thumbnail.size(), shown) ? thumbnail : decoded.image, decoded.fileSize};
}

bool thumbnailRemembered(const QString &path, QSize shown)
{
    const auto shared = SharedThumbnail::of(path);
    return shared && shared->remembers(shown);
}

void setEmbeddedThumbnailsUsed(bool used) { embeddedUsed = used; }
