#include "runtime/decoding/WorkerPool.h"

#include "runtime/decoding/DecoderPool.h"
#include "runtime/decoding/DecodeGrant.h"
#include "runtime/decoding/SharedPixels.h"
#include "runtime/decoding/WorkerProtocol.h"
#include "runtime/pictures/DecodeBudget.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDeadlineTimer>
#include <QFile>
#include <QThreadPool>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace rt::decoding {

namespace {

// The slowest real picture takes under 4 s; a decode past this is stuck.
std::atomic<int> deadlineMs{10'000};

void reportMissing(const QString &missing)
{
    static std::atomic<bool> told{false};
    if (!missing.isEmpty() && !told.exchange(true))
        std::fprintf(stderr, "pixmoor: pictures are decoded without %s on this system\n", qPrintable(missing));
}

enum class Outcome { Answered, Stopped, TimedOut };

// Sends the request and waits for the answer until the deadline.
Outcome exchange(Worker &worker, const Request &request, int fd, Reply &reply, int &pixels)
{
    if (!sendRequest(worker.socket, request, fd))
        return Outcome::Stopped;
    const QDeadlineTimer deadline(deadlineMs.load());
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

Decoded failed(Failure why)
{
    Decoded decoded;
    decoded.error = std::move(why);
    return decoded;
}

Decoded decodeDescriptor(int fd, QSize fill, Grant grant)
{
    if (grant.bytes > maxGrant())
        return failed({Reason::TooLarge, grant.shown});  // no worker starts on it
    // The workers share one budget, as threads of one process would.
    const DecodeClaim claim(grant.bytes - kWorkingBytes);
    if (!claim.granted())
        return failed({Reason::DecodeFailed, QStringLiteral("the program is ending")});
    Pool &pool = Pool::instance();
    Worker worker = pool.take();
    if (worker.pid < 0)
        return failed({Reason::DecodeFailed, QStringLiteral("pixmoor-decoder を起動できません")});
    Reply reply;
    int pixels = -1;
    const Outcome outcome = exchange(worker, {fill, grant.bytes}, fd, reply, pixels);
    if (outcome == Outcome::TimedOut) {
        pool.discard(worker);
        return failed({Reason::DecodeFailed,
                       QStringLiteral("%1 秒以内に終わりませんでした").arg(deadlineMs.load() / 1000.0)});
    }
    Decoded decoded;
    decoded.fileSize = reply.fileSize.isValid() ? reply.fileSize : QSize();
    if (outcome == Outcome::Answered && reply.kind == Reply::Pixels && pixels >= 0)
        decoded.image = mappedPixels(pixels, reply.pixels, reply.bytesPerLine, reply.format);
    if (reply.srgb)
        decoded.image.setColorSpace(QColorSpace::SRgb);
    if (pixels >= 0)
        ::close(pixels);
    // Crashed, killed by its filter, or an answer that breaks the protocol.
    const bool broken = outcome != Outcome::Answered || (reply.kind == Reply::Pixels) == decoded.image.isNull()
        || (reply.kind == Reply::Refused && !reply.failure);
    if (broken) {
        pool.discard(worker);
        return failed({Reason::DamagedData});
    }
    decoded.error = reply.kind == Reply::Refused ? reply.failure : Failure();
    if (decoded.error.reason == Reason::TooLarge) {
        if (!decoded.error.size.isValid())
            decoded.error.size = grant.shown;  // it ran out of memory before it could say
        pool.discard(worker);  // a fresh one takes the next picture
    }
    else
        pool.giveBack(worker);
    return decoded;
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

int setDeadline(int milliseconds)
{
    return deadlineMs.exchange(milliseconds);
}

void setDecoderProgram(const QString &path)
{
    Pool::instance().setProgram(path);
}

} // namespace rt::decoding
