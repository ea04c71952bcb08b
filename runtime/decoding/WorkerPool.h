#pragma once

#include "runtime/pictures/PictureLoader.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

class QFile;

// The decoder processes that every picture from the user's folders is
// decoded in (pixmoor-decoder, beside the program or in libexec/pixmoor/).
// Each decodes one picture and is ended with its answer; the next ones are
// started ahead of need. One that crashes, is killed by its confinement,
// runs out of the memory it was granted, misses the deadline or answers
// what the picture's header does not allow has its picture refused with a
// reason. The end of the program kills them all at once.
namespace rt::decoding {

// Starts the pool's decoders in the background. Called once at start-up.
void startDecoders();

// Decodes the open file `file` (read from its start), or `bytes`, in a
// decoder process, as decodePictureFile() does. Thread-safe; waits while
// every decoder is busy.
Decoded decodeInWorker(QFile &file, QSize fill);
Decoded decodeInWorker(const QByteArray &bytes, QSize fill);

// How long a decode may run; tests shorten it. Returns the one before.
int setDeadline(int milliseconds);

// The decoder program to start, with its arguments; by default the one
// beside the program. Decoders started before are not used.
void setDecoderProgram(const QString &path, const QStringList &arguments = {});

}  // namespace rt::decoding
