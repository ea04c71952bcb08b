#pragma once

#include "runtime/decoding/WorkerChannel.h"
#include "runtime/services/Reason.h"

#include <QImage>
#include <QSize>
#include <QString>

// What the program and a decoder process say to each other over their
// socket (a pair of pipes on Windows), one message at a time. A request
// carries the open file to decode and a reply the pixels, each as a
// descriptor (a handle) passed alongside; no path ever crosses. Everything
// received is checked: a decoder that breaks the protocol is treated as one
// that crashed.
namespace rt::decoding {

struct Request
{
    QSize fill;         // what the picture must cover; invalid for its full size
    qint64 grant = 0;   // the memory it may use for this picture
    qint64 length = -1; // Windows: what is passed is a mapping of this many bytes, not a file
};

struct Reply
{
    enum Kind { Ready, Pixels, Refused };
    Kind kind = Refused;
    Failure failure;   // Refused: why
    QSize fileSize;    // the picture's size as shown, when known
    QSize pixels;      // Pixels: the image's width and height
    qint64 bytesPerLine = 0;
    QImage::Format format = QImage::Format_Invalid;
    bool srgb = false; // Pixels: tagged as sRGB, as converted pictures are
    QString missing;   // Ready: the confinement that could not be set up
};

// Each sends one message with `fd` alongside (none when -1), false when the
// channel is gone.
bool sendRequest(Channel socket, const Request &request, Passed fd);
bool sendReply(Channel socket, const Reply &reply, Passed fd = -1);

// Each waits for one message; false at the end of the stream or on a message
// that is not one. `fd` receives what was sent alongside (-1 for none),
// which the caller then owns.
bool receiveRequest(Channel socket, Request &request, Passed &fd);
bool receiveReply(Channel socket, Reply &reply, Passed &fd);

} // namespace rt::decoding
