#pragma once

#include <QDeadlineTimer>
#include <QtGlobal>

// The one message layout both ends of a decoder's channel use, and the part
// of carrying it that differs per system (WorkerWireLinux.cpp,
// WorkerWireWindows.cpp).
namespace rt::decoding {

// A channel's end and what goes alongside a message: a socket and
// descriptors on Linux; a pipe's end and handles' values on Windows, where
// the program duplicates a handle into the decoder before it names it.
using Channel = qintptr;
using Passed = qintptr;
constexpr Passed kNone = -1;
constexpr int kMaxPassed = 2;

constexpr quint32 kMagic = 0x50584d46;  // changes with the layout below

enum class WireKind : qint32 { Request, Ready, Pixels, Refused, Fork, Forked };

// Both ends are the same build: the layout is plain data, sized exactly, and
// holds no text: what a decoder says is a number the program words itself.
struct Wire
{
    quint32 magic = kMagic;
    WireKind kind = WireKind::Request;
    qint32 reason = 0;
    qint32 width = -1, height = -1;  // request: the fill; pixels: the image's width and height
    qint32 format = 0;
    qint32 flags = 0;                            // pixels: sRGB; ready: the confinement missing
    qint64 number = 0;                           // request: the grant; pixels: bytes per line; forked: the process id
    qint64 length = -1;                          // request: the bytes of a picture passed as memory, -1 for a file
    qint64 bufferLength = 0;                     // request: the bytes of the pixel buffer passed
    qint64 passed[kMaxPassed] = {kNone, kNone};  // Windows: the handles alongside, as the receiver names them
};

// One message with `passed` alongside (kNone for none), within `deadline`;
// false when the channel is gone, full past the deadline, or the message
// does not go whole.
bool sendWire(Channel channel, const Wire &wire, const Passed (&passed)[kMaxPassed], QDeadlineTimer deadline);
// One whole message, or false; `passed` receives what came alongside, in the
// order sent, which the caller then owns.
bool receiveWire(Channel channel, Wire &wire, Passed (&passed)[kMaxPassed]);
// Lets go of what came alongside a message that is refused: a descriptor is
// closed; a handle's value names one in the sender's process and is left.
void dropPassed(Passed (&passed)[kMaxPassed]);

}  // namespace rt::decoding
