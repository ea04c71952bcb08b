#include "runtime/decoding/WorkerWire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rt::decoding {

// Never blocks past the deadline: a peer that stops reading is a peer that
// stops answering.
bool sendWire(Channel channel, const Wire &wire, const Passed (&passed)[kMaxPassed], QDeadlineTimer deadline)
{
    iovec data{const_cast<Wire *>(&wire), sizeof wire};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    int fds[kMaxPassed];
    int count = 0;
    for (const Passed fd : passed)
        if (fd >= 0)
            fds[count++] = int(fd);
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof fds)] = {};
    if (count > 0) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(count * sizeof(int));
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(count * sizeof(int));
        std::memcpy(CMSG_DATA(header), fds, count * sizeof(int));
    }
    for (;;) {
        const ssize_t sent = ::sendmsg(int(channel), &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0)
            return sent == ssize_t(sizeof wire);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        pollfd room{int(channel), POLLOUT, 0};
        const int ready = ::poll(&room, 1, int(qMax<qint64>(deadline.remainingTime(), 0)));
        if (ready == 0 || (ready < 0 && errno != EINTR) || (room.revents & (POLLERR | POLLHUP)))
            return false;
    }
}

bool receiveWire(Channel channel, Wire &wire, Passed (&passed)[kMaxPassed])
{
    for (Passed &fd : passed)
        fd = kNone;
    iovec data{&wire, sizeof wire};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t received;
    do
        received = ::recvmsg(int(channel), &message, MSG_CMSG_CLOEXEC);
    while (received < 0 && errno == EINTR);
    int count = 0;
    for (cmsghdr *header = received > 0 ? CMSG_FIRSTHDR(&message) : nullptr; header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t fds = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < fds; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof fd);
            if (count < kMaxPassed)
                passed[count++] = fd;
            else
                ::close(fd);  // more than any message carries
        }
    }
    if (received == ssize_t(sizeof wire) && !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)))
        return true;
    dropPassed(passed);
    return false;
}

void dropPassed(Passed (&passed)[kMaxPassed])
{
    for (Passed &fd : passed) {
        if (fd >= 0)
            ::close(int(fd));
        fd = kNone;
    }
}

}  // namespace rt::decoding
