#pragma once

#include "runtime/decoding/WorkerWire.h"
#include "runtime/pictures/PictureLoader.h"

#include <QSize>

class QIODevice;

// What the program makes of a picture it has a decoder decode, the same on
// every system: what its own reading of the header refuses, what it grants
// and allows back, and the answer checked against that.
namespace rt::decoding {

// How long a decode may take; the slowest real picture takes under 4 s.
int deadlineMs();
int replaceDeadline(int milliseconds);  // returns the one before

Decoded failed(Failure why);

// Decodes the picture on `device` (seekable, the same bytes as `picture`, a
// file or shared memory of `length` bytes, -1 for a file) for `fill`, in a
// decoder of the pool within the memory its description grants, claimed
// from the one decode budget first. The decoder answers in a buffer the
// program made; an answer larger than the header allows, in a buffer not
// final, or with a reason outside the set is refused as damaged. The size
// told is the one the program read.
Decoded decodeOnWorker(QIODevice &device, QSize fill, Passed picture, qint64 length);

}  // namespace rt::decoding
