#include "runtime/decoding/WorkerProtocol.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rt::decoding {

namespace {

constexpr quint32 kMagic = 0x50584d44;  // changes with the layout below
constexpr int kMaxText = 400;

// Both ends are the same build: the layout is plain data, sized exactly.
struct Wire
{
    quint32 magic = kMagic;
    qint32 kind = 0;
    qint32 reason = 0;
    qint32 width = -1, height = -1;          // request: the fill; reply: the file's size
    qint32 sizeWidth = -1, sizeHeight = -1;  // the failure's size
    qint32 pixelsWidth = 0, pixelsHeight = 0;
    qint32 format = 0;
    qint32 srgb = 0;
    qint64 number = 0;                       // request: the grant; reply: bytes per line
    qint32 textLength = 0;
    char16_t text[kMaxText] = {};
};

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
    const bool whole = received == ssize_t(sizeof wire) && !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC))
        && wire.magic == kMagic && wire.textLength >= 0 && wire.textLength <= kMaxText;
    if (!whole && fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    return whole;
}

} // namespace

bool sendRequest(int socket, const Request &request, int fd)
{
    Wire wire;
    wire.width = request.fill.width();
    wire.height = request.fill.height();
    wire.number = request.grant;
    return sendWire(socket, wire, fd);
}

bool receiveRequest(int socket, Request &request, int &fd)
{
    Wire wire;
    if (!receiveWire(socket, wire, fd))
        return false;
    request.fill = QSize(wire.width, wire.height);
    request.grant = wire.number;
    return true;
}

bool sendReply(int socket, const Reply &reply, int fd)
{
    Wire wire;
    wire.kind = reply.kind;
    wire.reason = int(reply.failure.reason);
    wire.width = reply.fileSize.width();
    wire.height = reply.fileSize.height();
    wire.sizeWidth = reply.failure.size.width();
    wire.sizeHeight = reply.failure.size.height();
    wire.pixelsWidth = reply.pixels.width();
    wire.pixelsHeight = reply.pixels.height();
    wire.format = reply.format;
    wire.srgb = reply.srgb;
    wire.number = reply.bytesPerLine;
    const QString &text = reply.kind == Reply::Ready ? reply.missing : reply.failure.detail;
    wire.textLength = int(qMin<qsizetype>(text.size(), kMaxText));
    std::memcpy(wire.text, text.utf16(), wire.textLength * sizeof(char16_t));
    return sendWire(socket, wire, fd);
}

bool receiveReply(int socket, Reply &reply, int &fd)
{
    Wire wire;
    if (!receiveWire(socket, wire, fd))
        return false;
    if (wire.kind < Reply::Ready || wire.kind > Reply::Refused || wire.reason < 0
        || wire.reason > int(Reason::Other)) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        return false;
    }
    reply.kind = Reply::Kind(wire.kind);
    const QString text = QString::fromUtf16(wire.text, wire.textLength);
    reply.failure = {Reason(wire.reason), reply.kind == Reply::Ready ? QString() : text};
    reply.failure.size = QSize(wire.sizeWidth, wire.sizeHeight);
    reply.fileSize = QSize(wire.width, wire.height);
    reply.pixels = QSize(wire.pixelsWidth, wire.pixelsHeight);
    reply.format = QImage::Format(wire.format);
    reply.srgb = wire.srgb != 0;
    reply.bytesPerLine = wire.number;
    reply.missing = reply.kind == Reply::Ready ? text : QString();
    return true;
}

} // namespace rt::decoding
