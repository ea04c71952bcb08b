#pragma once

#include "runtime/decoding/WorkerChannel.h"

// The one message layout both ends of a decoder's channel use, and the part
// of carrying it that differs per system (WorkerProtocolPosix.cpp,
// WorkerProtocolWindows.cpp).
namespace rt::decoding {

constexpr quint32 kMagic = 0x50584d45;  // changes with the layout below
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
    qint64 length = -1;                      // request: the bytes of an in-memory picture
    qint64 passed = -1;                      // Windows: the handle alongside, as the receiver names it
    qint32 textLength = 0;
    char16_t text[kMaxText] = {};
};

// One message with `passed` alongside; false when the channel is gone.
bool sendWire(Channel channel, const Wire &wire, Passed passed);
// One whole message, or false; `passed` receives what came alongside.
bool receiveWire(Channel channel, Wire &wire, Passed &passed);
// Lets go of what came alongside a message that is refused: a descriptor is
// closed; a handle's value names one in the sender's process and is left.
void dropPassed(Passed &passed);

} // namespace rt::decoding
