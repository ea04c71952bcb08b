#include "runtime/decoding/WorkerWire.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rt::decoding {

bool sendWire(int socket, const Wire &wire, int fd)
{
    iovec data{const_cast<Wire *>(&wire), sizeof wire};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &fd, sizeof fd);
    }
    ssize_t sent;
    do
        sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == ssize_t(sizeof wire);
}

// Any descriptor beyond the first one is closed: only one is ever sent.
bool receiveWire(int socket, Wire &wire, int &fd)
{
    fd = -1;
    iovec data{&wire, sizeof wire};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t received;
    do
        received = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    while (received < 0 && errno == EINTR);
    for (cmsghdr *header = received > 0 ? CMSG_FIRSTHDR(&message) : nullptr; header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int passed;
            std::memcpy(&passed, CMSG_DATA(header) + i * sizeof(int), sizeof passed);
            if (fd < 0)
                fd = passed;
            else
                ::close(passed);
        }
    }
    return received == ssize_t(sizeof wire) && !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC));
}

void dropPassed(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace rt::decoding
