#include "runtime/decoding/WorkerDecode.h"

#include "runtime/pictures/Colours.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageWriter>

#include <optional>

#ifdef PIXMOOR_DECODER_TEST
// Test files make the test build misbehave on purpose (tests/support).
std::optional<QImage> misbehaveFor(QIODevice &file);
#endif

namespace rt::decoding {

void loadDecoders()
{
    QImage sample(64, 48, QImage::Format_RGB32);
    sample.fill(Qt::darkCyan);
    sample.setColorSpace(QColorSpace::AdobeRgb);
    QList<QByteArray> files;
    for (const char *format : {"bmp", "jpeg", "ico"}) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        writer.setProgressiveScanWrite(files.size() == 1);
        writer.write(sample);
        files << buffer.data();
    }
    files << QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");
    for (QByteArray &bytes : files) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        rt::decodePictureData(buffer, QSize(8, 6));
    }
    rt::convertToSrgb(sample);
}

Reply decodeForReply(QIODevice &file, const Request &request, QImage &image)
{
    Reply reply;
    rt::Decoded decoded;
#ifdef PIXMOOR_DECODER_TEST
    if (const std::optional<QImage> made = misbehaveFor(file))
        decoded.image = *made;
    else
#endif
    if (auto *opened = qobject_cast<QFile *>(&file))
        decoded = rt::decodePictureFile(*opened, request.fill);
    else
        decoded = rt::decodePictureData(file, request.fill);
    reply.fileSize = decoded.fileSize;
    reply.failure = decoded.error;
    image = std::move(decoded.image);
    if (image.isNull())
        return reply;
    if (image.format() <= QImage::Format_Indexed8)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    reply.pixels = image.size();
    reply.bytesPerLine = image.bytesPerLine();
    reply.format = image.format();
    reply.srgb = image.colorSpace() == QColorSpace::SRgb;
    return reply;
}

} // namespace rt::decoding
