#include "runtime/decoding/WorkerPool.h"

#include "runtime/decoding/DecoderPool.h"
#include "runtime/decoding/DecodeGrant.h"
#include "runtime/decoding/SharedPixelsWindows.h"
#include "runtime/decoding/WorkerProtocol.h"
#include "runtime/pictures/DecodeBudget.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QThreadPool>

#include <windows.h>
#include <io.h>

#include <atomic>
#include <cstdio>

// The program's side of a decoder on Windows: the file goes to the decoder
// as a handle duplicated into it, the pixels come back as a mapping taken
// out of it (read-only), and a timer of the system's pool ends its job at
// the deadline, which breaks the pipe the answer is awaited on.
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

struct Watch
{
    HANDLE job;
    std::atomic<bool> fired{false};
};

void CALLBACK expire(void *context, BOOLEAN)
{
    auto *watch = static_cast<Watch *>(context);
    watch->fired = true;
    TerminateJobObject(watch->job, 1);
}

// Sends the request and waits for the answer until the deadline.
Outcome exchange(Worker &worker, const Request &request, Passed file, Reply &reply, Passed &pixels)
{
    Watch watch{worker.job};
    HANDLE timer = nullptr;
    if (!grantMemory(worker, request.grant)
        || !CreateTimerQueueTimer(&timer, nullptr, expire, &watch, DWORD(deadlineMs.load()), 0, WT_EXECUTEONLYONCE))
        return Outcome::Stopped;
    Outcome outcome = Outcome::Stopped;
    if (sendRequest(worker.requests, request, file)) {
        while (receiveReply(worker.replies, reply, pixels)) {
            if (reply.kind != Reply::Ready) {
                outcome = Outcome::Answered;
                break;
            }
            if (worker.ready)
                break;  // said twice: not a decoder that follows the protocol
            worker.ready = true;
            reportMissing(reply.missing);
        }
    }
    DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);  // waits for a call running
    return watch.fired ? Outcome::TimedOut : outcome;
}

Decoded failed(Failure why)
{
    Decoded decoded;
    decoded.error = std::move(why);
    return decoded;
}

// Takes the mapping `value` names in the decoder out of it, read-only.
HANDLE takeMapping(const Worker &worker, Passed value)
{
    HANDLE taken = nullptr;
    if (value == -1 || !DuplicateHandle(worker.process, HANDLE(value), GetCurrentProcess(), &taken, FILE_MAP_READ,
                                        FALSE, DUPLICATE_CLOSE_SOURCE))
        return nullptr;
    return taken;
}

// `source` is the program's file or mapping; `length` the mapping's bytes, -1 for a file.
Decoded decodeHandle(HANDLE source, qint64 length, QSize fill, Grant grant)
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
    HANDLE given = nullptr;
    const DWORD access = length < 0 ? GENERIC_READ : FILE_MAP_READ;
    if (!DuplicateHandle(GetCurrentProcess(), source, worker.process, &given, access, FALSE, 0)) {
        pool.discard(worker);
        return failed({Reason::ReadFailed});
    }
    Reply reply;
    Passed pixels = -1;
    const Outcome outcome = exchange(worker, {fill, grant.bytes, length}, Passed(given), reply, pixels);
    if (outcome == Outcome::TimedOut) {
        pool.discard(worker);
        return failed({Reason::DecodeFailed,
                       QStringLiteral("%1 秒以内に終わりませんでした").arg(deadlineMs.load() / 1000.0)});
    }
    Decoded decoded;
    decoded.fileSize = reply.fileSize.isValid() ? reply.fileSize : QSize();
    if (outcome == Outcome::Answered && reply.kind == Reply::Pixels) {
        if (HANDLE mapping = takeMapping(worker, pixels)) {
            decoded.image = mappedPixels(mapping, reply.pixels, reply.bytesPerLine, reply.format);
            CloseHandle(mapping);  // the view holds it
        }
    }
    if (reply.srgb)
        decoded.image.setColorSpace(QColorSpace::SRgb);
    // Crashed, ended by its job, or an answer that breaks the protocol.
    const bool broken = outcome != Outcome::Answered || (reply.kind == Reply::Pixels) == decoded.image.isNull()
        || (reply.kind == Reply::Refused && !reply.failure);
    if (broken) {
        pool.discard(worker);
        return failed({Reason::DamagedData});
    }
    decoded.error = reply.kind == Reply::Refused ? reply.failure : Failure();
    if (passedItsLimit(worker)) {
        decoded.image = QImage();
        decoded.error = {Reason::TooLarge, decoded.fileSize};
    }
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
    return decodeHandle(HANDLE(_get_osfhandle(file.handle())), -1, fill, decodeGrant(file, fill));
}

Decoded decodeInWorker(const QByteArray &bytes, QSize fill)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    HANDLE mapping = sharedBytes(bytes.constData(), bytes.size());
    if (!mapping)
        return failed({Reason::ReadFailed});
    Decoded decoded = decodeHandle(mapping, bytes.size(), fill, decodeGrant(buffer, fill));
    CloseHandle(mapping);
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
