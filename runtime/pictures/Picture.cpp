#include "runtime/pictures/Picture.h"

#include <QFileInfo>
#include <QImageReader>

#include <atomic>

namespace rt {

namespace {
std::atomic<quint64> lastHandle{0};
}

Picture::Picture(QImage image, QSize fileSize) : handle_(++lastHandle), image_(std::move(image)), fileSize_(fileSize) {}

QImage builtInImage(const QString &path)
{
    // Told the format and kept from guessing, Qt's reader looks for a plugin
    // by that name alone (there is none for PNG or BMP); guessing would load
    // every plugin to ask each one.
    QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

}  // namespace rt
