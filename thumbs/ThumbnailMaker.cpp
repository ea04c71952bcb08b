#include "thumbs/ThumbnailMaker.h"

#include "runtime/PictureLoader.h"

Thumbnail makeThumbnail(const QString &path, QSize shown)
{
    rt::Decoded decoded = rt::decodePicture(path, shown);
    if (decoded.image.isNull())
        return {};
    // Stretched once here, so that painting only copies. Opaque pictures take
    // three bytes a pixel: thumbnails are most of the list's memory.
    QImage image = decoded.image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB888);
    return {image, decoded.fileSize};
}
