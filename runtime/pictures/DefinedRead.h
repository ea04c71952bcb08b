#pragma once

#include <QImage>

class QImageReader;

namespace rt {

// Reads the picture `reader` is set up for (format, image, scaled size) the
// way every decode of the program does: into an image of the size and format
// its decoder allocates, filled first with one colour, so that the pixels a
// damaged file never sets (a cut or overrunning RLE bitmap, a delta that
// skips pixels, a short file) are that colour and not whatever memory held.
// The bitmap and JPEG decoders write into an image handed to them when it
// matches; the GIF and icon decoders allocate their own, which they clear.
QImage readDefined(QImageReader &reader);

// Where those images are made: on the heap unless a store is set (between
// decodes, by a process that decodes one at a time). The decoder process puts
// them where they can be handed over as they lie; a store returns an image it
// alone holds, every byte zero, or a null one for the heap.
using PixelStore = QImage (*)(QSize size, QImage::Format format);
void setPixelStore(PixelStore store);

}  // namespace rt
