#include "thumbnailing/PictureSize.h"

#include "runtime/pictures/PictureHeader.h"
#include "runtime/services/Platform.h"

#include <QFile>
#include <QImageReader>

QSize pictureSize(const QString &path)
{
    QFile file;
    if (const rt::Failure unreadable = rt::platform::openRegularFile(file, path))
        return {};
    return pictureSize(file);
}

QSize pictureSize(QIODevice &file)
{
    const QByteArray format = rt::header::sniffFormat(file);
    QSize size;
    if (format == "ico") {
        // Its size is that of its largest image, as the picture loader shows it.
        for (const rt::header::IconImage &image : rt::header::iconImages(file)) {
            if (qint64(image.size.width()) * image.size.height() > qint64(size.width()) * size.height())
                size = image.size;
        }
        return size;
    }
    if (format.isEmpty() || !file.seek(0))
        return {};
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    size = rt::header::allocatedSize(reader.size());
    if (format == "gif")  // its decoder paints into the whole logical screen
        return rt::header::gifScreen(file, size);
    // Orientations 5 to 8 turn the picture a quarter.
    return reader.transformation() & QImageIOHandler::TransformationRotate90 ? size.transposed() : size;
}
