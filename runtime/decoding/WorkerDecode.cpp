#include "runtime/decoding/WorkerDecode.h"

#include "runtime/decoding/MemoryWatch.h"
#include "runtime/pictures/Colours.h"
#include "runtime/pictures/DefinedRead.h"
#include "runtime/pictures/PictureFormats.h"
#include "runtime/pictures/PictureLoader.h"
#include "runtime/pictures/PictureReaders.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QLibrary>
#include <QPluginLoader>
#include <QtPlugin>

#include <new>

#ifdef PIXMOOR_DECODER_TEST
// Test files make the test build misbehave on purpose (tests/support).
void misbehave(QIODevice &file, rt::decoding::Reply &reply, rt::decoding::AnswerBuffer &buffer);
#endif

namespace rt::decoding {

namespace {

AnswerBuffer *answerBuffer = nullptr;  // the one picture this process decodes

QImage blankInBuffer(QSize size, QImage::Format format)
{
    return answerBuffer ? answerBuffer->blank(size, format) : QImage();
}

// Only reasons from the set the program words cross; whatever else a
// reader says is a damaged file.
Reason told(const Failure &failure)
{
    if (failure.reason == Reason::NotFound)
        return Reason::ReadFailed;
    return isDecoderReason(failure.reason) ? failure.reason : Reason::DamagedData;
}

Reply decode(QIODevice &file, const Request &request, AnswerBuffer &buffer)
{
    Reply reply;
    // A picture at its full size is decoded into memory the buffer gives (or
    // is); one decoded for a size asked may still be shrunk, and is small.
    answerBuffer = &buffer;
    rt::setPixelStore(request.fill.isValid() ? nullptr : blankInBuffer);
    auto *opened = qobject_cast<QFile *>(&file);
    rt::Decoded decoded =
        opened ? rt::decodePictureFile(*opened, request.fill) : rt::decodePictureData(file, request.fill);
    rt::setPixelStore(nullptr);
    answerBuffer = nullptr;
    QImage image = std::move(decoded.image);
    if (image.isNull()) {
        reply.reason = memoryRanOut() ? Reason::TooLarge : told(decoded.error);
        return reply;
    }
    if (image.format() <= QImage::Format_Indexed8)  // no colour table crosses
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    // Larger than the program's reading of the header allows: not the picture it describes.
    if (!buffer.place(image))
        return reply;
    reply.kind = Reply::Pixels;
    reply.pixels = image.size();
    reply.bytesPerLine = image.bytesPerLine();
    reply.format = image.format();
    reply.srgb = image.colorSpace() == QColorSpace::SRgb;
    return reply;
}

// Qt's plugins for the formats the program opens and no other, found by
// their classes: Qt's writer, and its ICO reader for a PNG inside an icon, ask
// every plugin in its folders in turn, which would load them all, and their
// libraries (TIFF's, WebP's...), into every decoder. Each is registered as if
// linked in, by the entry points every Qt plugin library exports. A static Qt
// has them linked in already, and no folder.
void loadPluginsOfOurFormats()
{
    QStringList wanted;
    for (const rt::PictureFormat &format : rt::pictureFormats()) {
        if (format.plugin)
            wanted += QLatin1String(format.plugin);
    }
    const QStringList folders = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    for (const QString &folder : folders) {
        for (const QFileInfo &file : QDir(folder + QStringLiteral("/imageformats")).entryInfoList(QDir::Files)) {
            // Its class read from the file, which is not loaded for it.
            const QString plugin =
                QPluginLoader(file.filePath()).metaData().value(QStringLiteral("className")).toString();
            if (!wanted.removeOne(plugin))
                continue;
            QLibrary library(file.filePath());
            const auto instance = reinterpret_cast<QtPluginInstanceFunction>(library.resolve("qt_plugin_instance"));
            const auto metaData =
                reinterpret_cast<QtPluginMetaDataFunction>(library.resolve("qt_plugin_query_metadata_v2"));
            if (instance && metaData)
                qRegisterStaticPluginFunction(QStaticPlugin(instance, metaData));
        }
    }
}

}  // namespace

void loadDecoders()
{
    loadPluginsOfOurFormats();
    QImage sample(64, 48, QImage::Format_RGB32);
    sample.fill(Qt::darkCyan);
    sample.setColorSpace(QColorSpace::AdobeRgb);
    // A picture of every format is decoded here, at a size asked for: once the
    // process has shut itself in it can open no plugin, and every picture of
    // a format left out would be refused. JPEG's is progressive, the costlier
    // path; the other writers take no such option.
    for (const rt::PictureFormat &format : rt::pictureFormats()) {
        QByteArray bytes;
        if (format.reader->preload) {
            bytes = QByteArray::fromBase64(format.reader->preload);
        } else {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, format.format);
            writer.setProgressiveScanWrite(true);
            writer.write(sample);
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        rt::decodePictureData(buffer, QSize(8, 6));
    }
    rt::convertToSrgb(sample);
}

Reply decodeInto(QIODevice &file, const Request &request, AnswerBuffer &buffer)
{
    Reply reply;
    memoryRanOut();
    try {
        reply = decode(file, request, buffer);
#ifdef PIXMOOR_DECODER_TEST
        misbehave(file, reply, buffer);
#endif
    } catch (const std::bad_alloc &) {
        reply = Reply();
        reply.reason = Reason::TooLarge;  // past the memory granted
    }
    return reply;
}

}  // namespace rt::decoding
