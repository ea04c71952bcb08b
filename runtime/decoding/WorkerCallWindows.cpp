#include "runtime/decoding/WorkerPool.h"

#include "runtime/decoding/DecoderPool.h"
#include "runtime/decoding/DecodeGrant.h"
#include "runtime/decoding/SharedPixelsWindows.h"
#include "runtime/decoding/WorkerOutcome.h"
#include "runtime/decoding/WorkerProtocol.h"

#include <QBuffer>
#include <QFile>
#include <QThreadPool>

#include <windows.h>
#include <io.h>

#include <atomic>

// The program's side of a decoder on Windows: the file goes to the decoder
// as a handle duplicated into it, the pixels come back as a mapping taken
// out of it (read-only), and a timer of the system's pool ends its job at
// the deadline, which breaks the pipe the answer is awaited on.
namespace rt::decoding {

namespace {

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
        || !CreateTimerQueueTimer(&timer, nullptr, expire, &watch, DWORD(deadlineMs()), 0, WT_EXECUTEONLYONCE))
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
    return decodeOnWorker(fill, grant, length, [source, length](Worker &worker, const Request &request, Reply &reply,
                                                                QImage &image) {
        HANDLE given = nullptr;
        const DWORD access = length < 0 ? GENERIC_READ : FILE_MAP_READ;
        if (!DuplicateHandle(GetCurrentProcess(), source, worker.process, &given, access, FALSE, 0))
            return Outcome::Unsent;
        Passed pixels = -1;
        const Outcome outcome = exchange(worker, request, Passed(given), reply, pixels);
        if (outcome == Outcome::Answered && reply.kind == Reply::Pixels) {
            if (HANDLE mapping = takeMapping(worker, pixels)) {
                image = mappedPixels(mapping, reply.pixels, reply.bytesPerLine, reply.format);
                CloseHandle(mapping);  // the view holds it
            }
        }
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

void setDecoderProgram(const QString &path)
{
    Pool::instance().setProgram(path);
}

} // namespace rt::decoding
