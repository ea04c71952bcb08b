#include "runtime/decoding/WorkerProtocol.h"

#include <QStringList>

namespace rt::decoding {

namespace {

bool receiveChecked(Channel channel, Wire &wire, Passed (&passed)[kMaxPassed])
{
    if (receiveWire(channel, wire, passed) && wire.magic == kMagic)
        return true;
    dropPassed(passed);
    return false;
}

// A reply carries nothing alongside.
bool receiveBare(Channel channel, Wire &wire)
{
    Passed passed[kMaxPassed];
    const bool received = receiveChecked(channel, wire, passed);
    const bool bare = passed[0] == kNone && passed[1] == kNone;
    dropPassed(passed);
    return received && bare;
}

}  // namespace

QString unconfinedText(int missing)
{
    static const std::pair<int, const char *> words[] = {
        {NoMemoryLimit, "a memory limit"},
        {NoFileLimit, "a limit on open files"},
        {NoNewPrivileges, "no_new_privs"},
        {NoCapabilitiesDropped, "its capabilities dropped"},
        {NoLandlock, "Landlock"},
        {NoCallFilter, "a seccomp filter"},
        {NoJob, "a job with a memory limit"},
        {NoLowIntegrity, "low integrity"},
        {NoImageLoadPolicy, "the image load policy"},
        {NoDynamicCodePolicy, "the dynamic code policy"},
        {NoExtensionPointPolicy, "the extension point policy"},
    };
    QStringList told;
    for (const auto &[flag, text] : words)
        if (missing & flag)
            told << QLatin1String(text);
    return told.join(QStringLiteral(", "));
}

bool isDecoderReason(Reason reason)
{
    switch (reason) {
    case Reason::EmptyFile:
    case Reason::UnsupportedType:
    case Reason::UnknownSize:
    case Reason::TooLarge:
    case Reason::TooManyScans:
    case Reason::ReadFailed:
    case Reason::DamagedData:
    case Reason::DecodeFailed:
        return true;
    default:
        return false;
    }
}

bool sendRequest(Channel channel, const Request &request, Passed picture, Passed buffer, QDeadlineTimer deadline)
{
    Wire wire;
    wire.kind = WireKind::Request;
    wire.width = request.fill.width();
    wire.height = request.fill.height();
    wire.number = request.grant;
    wire.length = request.length;
    wire.bufferLength = request.bufferLength;
    return sendWire(channel, wire, {picture, buffer}, deadline);
}

bool receiveRequest(Channel channel, Request &request, Passed &picture, Passed &buffer)
{
    Wire wire;
    Passed passed[kMaxPassed];
    if (!receiveChecked(channel, wire, passed))
        return false;
    if (wire.kind != WireKind::Request) {
        dropPassed(passed);
        return false;
    }
    request.fill = QSize(wire.width, wire.height);
    request.grant = wire.number;
    request.length = wire.length;
    request.bufferLength = wire.bufferLength;
    picture = passed[0];
    buffer = passed[1];
    return true;
}

bool sendReply(Channel channel, const Reply &reply)
{
    Wire wire;
    wire.kind = reply.kind == Reply::Ready ? WireKind::Ready
        : reply.kind == Reply::Pixels      ? WireKind::Pixels
                                           : WireKind::Refused;
    wire.reason = int(reply.reason);
    wire.width = reply.pixels.width();
    wire.height = reply.pixels.height();
    wire.format = reply.format;
    wire.flags = reply.kind == Reply::Ready ? reply.missing : int(reply.srgb);
    wire.number = reply.bytesPerLine;
    // A reply is short; the deadline is the program's to keep.
    return sendWire(channel, wire, {kNone, kNone}, QDeadlineTimer(QDeadlineTimer::Forever));
}

bool receiveReply(Channel channel, Reply &reply)
{
    Wire wire;
    if (!receiveBare(channel, wire))
        return false;
    switch (wire.kind) {
    case WireKind::Ready:
        reply.kind = Reply::Ready;
        reply.missing = wire.flags;
        return true;
    case WireKind::Pixels:
        reply.kind = Reply::Pixels;
        reply.reason = Reason::None;
        reply.pixels = QSize(wire.width, wire.height);
        reply.format = QImage::Format(wire.format);
        reply.srgb = wire.flags != 0;
        reply.bytesPerLine = wire.number;
        return true;
    case WireKind::Refused:
        reply.kind = Reply::Refused;
        reply.reason = Reason(wire.reason);
        return isDecoderReason(reply.reason);
    default:
        return false;
    }
}

}  // namespace rt::decoding
