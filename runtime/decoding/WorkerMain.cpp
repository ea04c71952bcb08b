// pixmoor-decoder: decodes the pictures the program hands it, one at a time,
// shut in (see Confinement.h). Started by the program with its socket as
// descriptor 3; it ends when the program closes it.
#include "runtime/decoding/Confinement.h"
#include "runtime/decoding/MemoryWatch.h"
#include "runtime/decoding/SharedPixels.h"
#include "runtime/decoding/WorkerProtocol.h"
#include "runtime/pictures/Colours.h"
#include "runtime/pictures/DefinedRead.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QFile>
#include <QImageWriter>

#include <malloc.h>
#include <unistd.h>

#include <new>
#include <optional>

#ifdef PIXMOOR_DECODER_TEST
// Test files make the test build misbehave on purpose (tests/support).
std::optional<QImage> misbehaveFor(QIODevice &file);
#endif

namespace {

using namespace rt::decoding;

constexpr int kChannel = 3;
// A decode still running this long after the program gave up on it ends the
// process itself: the program may be gone without killing it.
constexpr unsigned kOwnDeadlineSeconds = 60;

// Everything decoding may load (the decoders' plugins, libjpeg, the colour
// conversion, the smooth scaling) is loaded here, while files may still be opened.
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

Reply decode(int fd, const Request &request, int &pixels)
{
    Reply reply;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) || !file.seek(0)) {
        ::close(fd);
        reply.failure = {rt::Reason::ReadFailed};
        return reply;
    }
    rt::Decoded decoded;
#ifdef PIXMOOR_DECODER_TEST
    if (const std::optional<QImage> made = misbehaveFor(file))
        decoded.image = *made;
    else
#endif
        decoded = rt::decodePictureFile(file, request.fill);
    reply.fileSize = decoded.fileSize;
    reply.failure = decoded.error;
    if (decoded.image.isNull() && memoryRanOut())  // whatever the decoder made of it
        reply.failure = {rt::Reason::TooLarge, decoded.fileSize};
    QImage image = std::move(decoded.image);
    if (image.isNull())
        return reply;
    if (image.format() <= QImage::Format_Indexed8)  // no colour table crosses
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    reply.pixels = image.size();
    reply.bytesPerLine = image.bytesPerLine();
    reply.format = image.format();
    reply.srgb = image.colorSpace() == QColorSpace::SRgb;
    // Decoded straight into a file of its own, it crosses as it lies; else as a copy.
    pixels = handOver(image);
    if (pixels < 0 && !image.isNull())
        pixels = sealedPixels(image);
    if (pixels < 0) {
        reply.failure = {rt::Reason::TooLarge, decoded.fileSize};
        return reply;
    }
    reply.kind = Reply::Pixels;
    return reply;
}

} // namespace

int main(int argc, char *argv[])
{
    closeInheritedFiles(kChannel);
    // One heap: each further arena would reserve 64 MB of the address space granted.
    mallopt(M_ARENA_MAX, 1);
    QCoreApplication application(argc, argv);
    rt::configureImageLimits();
    loadDecoders();
    Reply ready;
    ready.kind = Reply::Ready;
    ready.missing = confine().join(QStringLiteral(", "));
    if (!sendReply(kChannel, ready))
        return 1;
    for (;;) {
        Request request;
        int fd = -1;
        if (!receiveRequest(kChannel, request, fd))
            return 0;  // the program is done with this decoder
        if (fd < 0)
            return 1;
        limitMemory(request.grant);
        memoryRanOut();
        ::alarm(kOwnDeadlineSeconds);
        // A picture at its full size is decoded where it is handed over from; one
        // decoded for a size asked may still be shrunk, and is small enough to copy.
        rt::setPixelStore(request.fill.isValid() ? nullptr : sharedBlank);
        int pixels = -1;
        Reply reply;
        bool exhausted = false;
        try {
            reply = decode(fd, request, pixels);
        } catch (const std::bad_alloc &) {
            reply.failure = {rt::Reason::TooLarge};  // past the memory granted
            exhausted = true;
        }
        ::alarm(0);
        const bool sent = sendReply(kChannel, reply, pixels);
        if (pixels >= 0)
            ::close(pixels);
        dropBlanks();
        if (!sent || exhausted)
            return sent ? 0 : 1;  // a heap that ran out is not trusted with the next picture
    }
}
