#pragma once

#include "runtime/decoding/SharedMemory.h"
#include "runtime/decoding/WorkerProtocol.h"

class QIODevice;

// What a decoder process does with a picture, the same on every system.
namespace rt::decoding {

// Loads everything decoding may load (the decoders' plugins, libjpeg, the
// colour conversion, the smooth scaling) while files may still be opened.
void loadDecoders();

// Decodes `file` for `request` into `buffer`: a picture at its full size
// straight into it, one decoded for a size asked as a copy. The reply says
// what the buffer holds, or why the picture is refused; nothing of the
// picture stays mapped once it returns.
Reply decodeInto(QIODevice &file, const Request &request, AnswerBuffer &buffer);

}  // namespace rt::decoding
