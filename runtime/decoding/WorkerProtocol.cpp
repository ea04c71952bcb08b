#include "runtime/decoding/WorkerProtocol.h"

#include "runtime/decoding/WorkerWire.h"

#include <cstring>

namespace rt::decoding {

namespace {

bool receiveChecked(Channel channel, Wire &wire, Passed &fd)
{
    if (receiveWire(channel, wire, fd) && wire.magic == kMagic && wire.textLength >= 0 && wire.textLength <= kMaxText)
        return true;
    dropPassed(fd);
    return false;
}

} // namespace

bool sendRequest(Channel socket, const Request &request, Passed fd)
{
    Wire wire;
    wire.width = request.fill.width();
    wire.height = request.fill.height();
    wire.number = request.grant;
    wire.length = request.length;
    return sendWire(socket, wire, fd);
}

bool receiveRequest(Channel socket, Request &request, Passed &fd)
{
    Wire wire;
    if (!receiveChecked(socket, wire, fd))
        return false;
    request.fill = QSize(wire.width, wire.height);
    request.grant = wire.number;
    request.length = wire.length;
    return true;
}

bool sendReply(Channel socket, const Reply &reply, Passed fd)
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

bool receiveReply(Channel socket, Reply &reply, Passed &fd)
{
    Wire wire;
    if (!receiveChecked(socket, wire, fd))
        return false;
    if (wire.kind < Reply::Ready || wire.kind > Reply::Refused || wire.reason < 0
        || wire.reason > int(Reason::Other)) {
        dropPassed(fd);
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
