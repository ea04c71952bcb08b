// pixmoor-decoder: decodes the pictures the program hands it, one at a time,
// shut in (see Confinement.h). Started by the program with its socket as
// descriptor 3; it ends when the program closes it.
#include "runtime/decoding/Confinement.h"
#include "runtime/decoding/MemoryWatch.h"
#include "runtime/decoding/SharedPixels.h"
#include "runtime/decoding/WorkerDecode.h"
#include "runtime/decoding/WorkerProtocol.h"
#include "runtime/pictures/DefinedRead.h"
#include "runtime/pictures/PictureLoader.h"

#include <QCoreApplication>
#include <QFile>

#include <malloc.h>
#include <unistd.h>

#include <new>

namespace {

using namespace rt::decoding;

constexpr int kChannel = 3;
// A decode still running this long after the program gave up on it ends the
// process itself: the program may be gone without killing it.
constexpr unsigned kOwnDeadlineSeconds = 60;

Reply decode(int fd, const Request &request, int &pixels)
{
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) || !file.seek(0)) {
        ::close(fd);
        Reply reply;
        reply.failure = {rt::Reason::ReadFailed};
        return reply;
    }
    QImage image;
    Reply reply = decodeForReply(file, request, image);
    if (image.isNull()) {
        if (memoryRanOut())  // whatever the decoder made of it
            reply.failure = {rt::Reason::TooLarge, reply.fileSize};
        return reply;
    }
    // Decoded straight into a file of its own, it crosses as it lies; else as a copy.
    pixels = handOver(image);
    if (pixels < 0 && !image.isNull())
        pixels = sealedPixels(image);
    if (pixels < 0) {
        reply.failure = {rt::Reason::TooLarge, reply.fileSize};
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
