#pragma once

#include "runtime/decoding/WorkerWire.h"
#include "runtime/services/Reason.h"

#include <QImage>
#include <QSize>
#include <QString>

// What the program and a decoder process say to each other over their
// channel, one message each way: the program sends the open picture and an
// empty pixel buffer of its own making, sized for the largest answer the
// picture's header allows; the decoder fills the buffer and says what it
// holds, or why it refused. Everything received is checked: a decoder that
// breaks the protocol is treated as one that crashed.
namespace rt::decoding {

struct Request
{
    QSize fill;               // what the picture must cover; invalid for its full size
    qint64 grant = 0;         // the memory it may use for this picture
    qint64 length = -1;       // Windows: the picture is a mapping of this many bytes, not a file
    qint64 bufferLength = 0;  // the pixel buffer's bytes
};

// What confinement a decoder could not set up, as flags the program words.
// Linux's fit in a byte: a probe's exit status carries them.
enum Unconfined {
    NoMemoryLimit = 1,
    NoFileLimit = 2,
    NoNewPrivileges = 4,
    NoCapabilitiesDropped = 8,
    NoLandlock = 16,
    NoCallFilter = 32,
    NoJob = 1 << 8,
    NoLowIntegrity = 1 << 9,
    NoImageLoadPolicy = 1 << 10,
    NoDynamicCodePolicy = 1 << 11,
    NoExtensionPointPolicy = 1 << 12,
};
QString unconfinedText(int missing);

struct Reply
{
    enum Kind { Ready, Pixels, Refused };
    Kind kind = Refused;
    Reason reason = Reason::DamagedData;  // Refused: why, one of decoderReasons()
    QSize pixels;                         // Pixels: the image's width and height in the buffer
    qint64 bytesPerLine = 0;
    QImage::Format format = QImage::Format_Invalid;
    bool srgb = false;  // Pixels: tagged as sRGB, as converted pictures are
    int missing = 0;    // Ready: Unconfined flags
};

// The reasons a decoder may give; any other answer is a broken protocol.
bool isDecoderReason(Reason reason);

bool sendRequest(Channel channel, const Request &request, Passed picture, Passed buffer, QDeadlineTimer deadline);
bool sendReply(Channel channel, const Reply &reply);

// Each waits for one message; false at the end of the stream or on a message
// that is not one. What came alongside is the caller's.
bool receiveRequest(Channel channel, Request &request, Passed &picture, Passed &buffer);
bool receiveReply(Channel channel, Reply &reply);

}  // namespace rt::decoding
