#include "runtime/pictures/DefinedRead.h"

#include "runtime/pictures/PictureHeader.h"

#include <QImageReader>

#include <algorithm>

namespace rt {

namespace {

PixelStore pixelStore = nullptr;

// The image the decoder would allocate itself; null where it allocates its own anyway.
// `opaqueLater` is set for one whose pixels are left zero for finishOpaque().
QImage blankFor(QImageReader &reader, bool &opaqueLater)
{
    const QByteArray format = reader.format();
    if (format != "bmp" && format != "jpeg")
        return QImage();
    // A header the decoder refuses allocates nothing (and Qt's JPEG reader
    // then reports a pixel format it never set).
    const QSize reported = reader.size();
    if (!reported.isValid())
        return QImage();
    const QSize size = reader.scaledSize().isValid() ? reader.scaledSize() : header::allocatedSize(reported);
    const QImage::Format pixels = reader.imageFormat();
    QImage blank = pixelStore ? pixelStore(size, pixels) : QImage();
    if (!blank.isNull()) {
        // A store's pixels start as zero, which is transparent already. Opaque
        // black would take a pass of its own over a large picture: the lines
        // the decoder never reached are found and made black afterwards.
        opaqueLater = blank.format() == QImage::Format_RGB32;
        if (opaqueLater || blank.hasAlphaChannel())
            return blank;
    }
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

// The bitmap and JPEG decoders write whole lines, each pixel of them
// opaque: a line left zero was never reached, and is made opaque black.
void finishOpaque(QImage &image)
{
    if (image.format() != QImage::Format_RGB32 || image.width() == 0)
        return;
    const int last = image.width() - 1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (qAlpha(line[0]) == 0 || qAlpha(line[last]) == 0)
            std::fill_n(reinterpret_cast<QRgb *>(image.scanLine(y)), image.width(), qRgb(0, 0, 0));
    }
}

}  // namespace

void setPixelStore(PixelStore store) { pixelStore = store; }

QImage readDefined(QImageReader &reader)
{
    bool opaqueLater = false;
    QImage image = blankFor(reader, opaqueLater);
    if (!reader.read(&image))
        return QImage();
    if (opaqueLater)
        finishOpaque(image);
    return image;
}

}  // namespace rt
