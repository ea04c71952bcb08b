#pragma once

#include "runtime/decoding/DecodeGrant.h"
#include "runtime/decoding/DecoderPool.h"
#include "runtime/pictures/PictureLoader.h"

#include <functional>

// What the program makes of a decoder's answer, the same on every system;
// how the request goes and the pixels come back is WorkerCall.cpp's (POSIX)
// and WorkerCallWindows.cpp's.
namespace rt::decoding {

enum class Outcome { Answered, Unsent, Stopped, TimedOut };

// How long a decode may take; the slowest real picture takes under 4 s.
int deadlineMs();

// Says once, on standard error, what confinement a decoder could not set up.
void reportMissing(const QString &missing);

Decoded failed(Failure why);

// Sends the request, waits for the answer until the deadline and maps the
// pixels into `image`.
using Ask = std::function<Outcome(Worker &worker, const Request &request, Reply &reply, QImage &image)>;

// Decodes on a decoder of the pool within `grant`, claimed from the one
// decode budget first: a picture past the largest grant goes to none. A
// decoder that crashed, was killed, passed its limit or broke the protocol is
// replaced, and its picture refused with a reason.
Decoded decodeOnWorker(QSize fill, Grant grant, qint64 length, const Ask &ask);

} // namespace rt::decoding
