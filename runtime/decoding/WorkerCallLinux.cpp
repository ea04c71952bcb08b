#include "runtime/decoding/WorkerProcess.h"

#include <poll.h>

#include <cerrno>

namespace rt::decoding {

Call::Call(Worker &worker, QDeadlineTimer deadline) : worker_(worker), deadline_(deadline) {}

Call::~Call() = default;

bool Call::send(const Request &request, Passed picture, const PixelBuffer &buffer)
{
    return sendRequest(worker_.requests, request, picture, buffer.memory(), deadline_);
}

Call::Outcome Call::await(Reply &reply)
{
    for (;;) {
        pollfd waiting{int(worker_.replies), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(qMax<qint64>(deadline_.remainingTime(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return TimedOut;
        // Its start-up said nothing: the fork server speaks for it.
        return ready > 0 && receiveReply(worker_.replies, reply) && reply.kind != Reply::Ready ? Answered : Stopped;
    }
}

}  // namespace rt::decoding
