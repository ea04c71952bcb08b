#include "runtime/decoding/WorkerProcess.h"

#include <windows.h>
#include <psapi.h>

#include <atomic>

// A call to a decoder on Windows: the picture and the answer's buffer go to
// the decoder as handles duplicated into it, and a timer of the system's
// pool ends its job at the deadline, which breaks the pipe written to or
// read from.
namespace rt::decoding {

namespace {

struct Watch
{
    HANDLE job;
    HANDLE timer = nullptr;
    std::atomic<bool> fired{false};
};

void CALLBACK expire(void *context, BOOLEAN)
{
    auto *watch = static_cast<Watch *>(context);
    watch->fired = true;
    TerminateJobObject(watch->job, 1);
}

// Bounds the decoder's memory to what it holds now and `grant` more.
bool grantMemory(Worker &worker, qint64 grant)
{
    PROCESS_MEMORY_COUNTERS_EX used{};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (!GetProcessMemoryInfo(HANDLE(worker.process), reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&used), sizeof used)
        || !QueryInformationJobObject(HANDLE(worker.job), JobObjectExtendedLimitInformation, &limits, sizeof limits,
                                      nullptr))
        return false;
    const qint64 allowed = qint64(used.PrivateUsage) + qMax<qint64>(grant, 0);
    limits.ProcessMemoryLimit = SIZE_T(allowed);
    worker.mostAllowed = qMax(worker.mostAllowed, allowed);
    return SetInformationJobObject(HANDLE(worker.job), JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

// `source` as a handle of the decoder's, with `access`; kNone when it cannot be.
Passed giveTo(const Worker &worker, Passed source, DWORD access)
{
    HANDLE given = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), HANDLE(source), HANDLE(worker.process), &given, access, FALSE, 0))
        return kNone;
    return Passed(given);
}

void stopWatch(Watch *watch)
{
    if (watch && watch->timer) {
        DeleteTimerQueueTimer(nullptr, watch->timer, INVALID_HANDLE_VALUE);  // waits for a call running
        watch->timer = nullptr;
    }
}

}  // namespace

Call::Call(Worker &worker, QDeadlineTimer deadline) : worker_(worker), deadline_(deadline)
{
    auto *watch = new Watch{HANDLE(worker.job)};
    watch_ = watch;
    const DWORD due = DWORD(qMax<qint64>(deadline.remainingTime(), 0));
    if (!CreateTimerQueueTimer(&watch->timer, nullptr, expire, watch, due, 0, WT_EXECUTEONLYONCE)) {
        watch->timer = nullptr;
        TerminateJobObject(watch->job, 1);  // no deadline, no decode
    }
}

Call::~Call()
{
    auto *watch = static_cast<Watch *>(watch_);
    stopWatch(watch);
    delete watch;
}

bool Call::send(const Request &request, Passed picture, const PixelBuffer &buffer)
{
    if (!grantMemory(worker_, request.grant))
        return false;
    const Passed given = giveTo(worker_, picture, request.length < 0 ? GENERIC_READ : FILE_MAP_READ);
    const Passed answer = giveTo(worker_, buffer.memory(), FILE_MAP_READ | FILE_MAP_WRITE);
    return given != kNone && answer != kNone && sendRequest(worker_.requests, request, given, answer, deadline_);
}

Call::Outcome Call::await(Reply &reply)
{
    Outcome outcome = Stopped;
    while (receiveReply(worker_.replies, reply)) {
        if (reply.kind != Reply::Ready) {
            outcome = Answered;
            break;
        }
        if (worker_.ready)
            break;  // said twice: not a decoder that follows the protocol
        worker_.ready = true;
        reportMissing(unconfinedText(reply.missing));
    }
    auto *watch = static_cast<Watch *>(watch_);
    stopWatch(watch);
    return watch->fired ? TimedOut : outcome;
}

}  // namespace rt::decoding
