#include "runtime/pictures/DefinedRead.h"

#include "runtime/pictures/PictureHeader.h"

#include <QImageReader>

namespace rt {

namespace {

PixelStore pixelStore = nullptr;

// The image the decoder would allocate itself; null where it allocates its own anyway.
QImage blankFor(QImageReader &reader)
{
    const QByteArray format = reader.format();
    if (format != "bmp" && format != "jpeg")
        return QImage();
    const QSize size = reader.scaledSize().isValid() ? reader.scaledSize() : header::allocatedSize(reader.size());
    const QImage::Format pixels = reader.imageFormat();
    QImage blank = pixelStore ? pixelStore(size, pixels) : QImage();
    if (blank.isNull())
        blank = QImage(size, pixels);
    if (blank.isNull())
        return blank;
    if (blank.colorCount() > 0 || blank.format() == QImage::Format_Indexed8) {
        // Unset pixels take the file's first colour, and indexes past its palette black.
        const int colours = blank.format() == QImage::Format_Indexed8 ? 256 : 2;
        blank.setColorTable(QList<QRgb>(colours, qRgb(0, 0, 0)));
        blank.fill(0);
    } else {
        blank.fill(blank.hasAlphaChannel() ? Qt::transparent : Qt::black);
    }
    return blank;
}

} // namespace

void setPixelStore(PixelStore store)
{
    pixelStore = store;
}

QImage readDefined(QImageReader &reader)
{
    QImage image = blankFor(reader);
    if (!reader.read(&image))
        return QImage();
    return image;
}

} // namespace rt
