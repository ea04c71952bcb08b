#include "runtime/pictures/PictureFormats.h"

#include "runtime/pictures/PictureDescription.h"
#include "runtime/pictures/PictureReaders.h"

#include <QIODevice>

namespace rt {

namespace {

// The rows of PictureFormats.table, written by CMake (PictureFormats.cmake).
constexpr PictureFormat kFormats[] = {
#include "runtime/pictures/PictureFormatRows.inc"
};

}  // namespace

std::span<const PictureFormat> pictureFormats() { return kFormats; }

const PictureFormat *recognisedFormat(QIODevice &device)
{
    device.seek(0);
    const QByteArray head = device.peek(16);
    for (const PictureFormat &format : kFormats) {
        if (format.reader->recognises(device, head))
            return &format;
    }
    return nullptr;
}

QStringList filePatterns()
{
    QStringList patterns;
    for (const PictureFormat &format : kFormats)
        patterns += QString::fromLatin1(format.patterns).split(QLatin1Char(';'));
    return patterns;
}

// Declared with the description it makes; defined here, beside the table
// whose readers read it.
PictureDescription describePicture(QIODevice &device, header::ScanCount scans)
{
    PictureDescription picture;
    if (const PictureFormat *format = recognisedFormat(device)) {
        picture.format = format->format;
        format->reader->describe(device, picture, scans);
    }
    return picture;
}

}  // namespace rt
