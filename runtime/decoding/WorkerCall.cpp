#include "runtime/decoding/WorkerPool.h"

#include "runtime/decoding/DecoderPool.h"
#include "runtime/decoding/DecodeGrant.h"
#include "runtime/decoding/SharedPixels.h"
#include "runtime/decoding/WorkerOutcome.h"
#include "runtime/decoding/WorkerProtocol.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QThreadPool>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace rt::decoding {

namespace {

// Sends the request and waits for the answer until the deadline.
Outcome exchange(Worker &worker, const Request &request, int fd, Reply &reply, int &pixels)
{
    if (!sendRequest(worker.socket, request, fd))
        return Outcome::Stopped;
    const QDeadlineTimer deadline(deadlineMs());
    for (;;) {
        pollfd waiting{worker.socket, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(qMax<qint64>(deadline.remainingTime(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return Outcome::TimedOut;
        if (ready < 0 || !receiveReply(worker.socket, reply, pixels))
            return Outcome::Stopped;
        if (reply.kind != Reply::Ready)
            return Outcome::Answered;
        if (worker.ready)
            return Outcome::Stopped;  // said twice: not a decoder that follows the protocol
        worker.ready = true;
        reportMissing(reply.missing);
    }
}

Decoded decodeDescriptor(int fd, QSize fill, Grant grant)
{
    return decodeOnWorker(fill, grant, -1, [fd](Worker &worker, const Request &request, Reply &reply, QImage &image) {
        int pixels = -1;
        const Outcome outcome = exchange(worker, request, fd, reply, pixels);
        if (outcome == Outcome::Answered && reply.kind == Reply::Pixels && pixels >= 0)
            image = mappedPixels(pixels, reply.pixels, reply.bytesPerLine, reply.format);
        if (pixels >= 0)
            ::close(pixels);
        return outcome;
    });
}

} // namespace

void startDecoders()
{
    QThreadPool::globalInstance()->start([] { Pool::instance().fill(); });
}

Decoded decodeInWorker(QFile &file, QSize fill)
{
    return decodeDescriptor(file.handle(), fill, decodeGrant(file, fill));
}

Decoded decodeInWorker(const QByteArray &bytes, QSize fill)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const int fd = sealedFile(bytes.constData(), bytes.size());
    if (fd < 0)
        return failed({Reason::ReadFailed});
    Decoded decoded = decodeDescriptor(fd, fill, decodeGrant(buffer, fill));
    ::close(fd);
    return decoded;
}

void setDecoderProgram(const QString &path)
{
    Pool::instance().setProgram(path);
}

} // namespace rt::decoding
