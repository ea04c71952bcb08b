#pragma once

#include "runtime/decoding/WorkerProtocol.h"

#include <QImage>

class QIODevice;

// What a decoder process does with a picture, the same on every system.
namespace rt::decoding {

// Loads everything decoding may load (the decoders' plugins, libjpeg, the
// colour conversion, the smooth scaling) while files may still be opened.
void loadDecoders();

// Decodes `file` for `request` into `image` (no colour table: none crosses)
// and fills the reply but for where the pixels go.
Reply decodeForReply(QIODevice &file, const Request &request, QImage &image);

} // namespace rt::decoding
