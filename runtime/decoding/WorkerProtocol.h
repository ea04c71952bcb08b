#pragma once

#include "runtime/services/Reason.h"

#include <QImage>
#include <QSize>
#include <QString>

// What the program and a decoder process say to each other over their
// socket, one datagram per message. A request carries the open file to
// decode and a reply the pixels, each as a descriptor passed alongside; no
// path ever crosses. Everything received is checked: a decoder that breaks
// the protocol is treated as one that crashed.
namespace rt::decoding {

struct Request
{
    QSize fill;        // what the picture must cover; invalid for its full size
    qint64 grant = 0;  // the memory it may use for this picture
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
// socket is gone.
bool sendRequest(int socket, const Request &request, int fd);
bool sendReply(int socket, const Reply &reply, int fd = -1);

// Each waits for one message; false at the end of the stream or on a message
// that is not one. `fd` receives the descriptor sent alongside (-1 for none),
// which the caller then owns.
bool receiveRequest(int socket, Request &request, int &fd);
bool receiveReply(int socket, Reply &reply, int &fd);

} // namespace rt::decoding
