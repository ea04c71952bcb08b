#pragma once

#include "runtime/pictures/DecodeLimits.h"
#include "runtime/services/Reason.h"

#include <QImage>
#include <QString>

class QFile;
class QIODevice;

// The one picture loader of the program. Only regular files holding a picture
// of a format PictureFormats.table lists (told by content, not by name) are
// decoded, each by its own decoder and no other, and only when what the header promises
// fits the memory caps (DecodeLimits.h), checked before decoding whatever Qt's own
// allocation limit or environment says.
namespace rt {

struct Decoded
{
    QImage image;    // null on failure
    QSize fileSize;  // the picture's size as shown at full size (EXIF orientation applied)
    Failure error;   // why it failed; no failure when the image is there
};

// Decodes content already open (seekable, read from its start). With a valid
// `fill`, decodes no larger than needed to cover `fill` (device pixels) and
// keeps the aspect ratio; never larger than the picture itself. Each decode
// holds its claim on the process's decode budget (DecodeBudget.h) of what its
// description says it takes (decodeBytes) while it runs. Thread-safe.
Decoded decodePictureData(QIODevice &device, QSize fill = QSize());

// The same from an open file, read from its start.
Decoded decodePictureFile(QFile &file, QSize fill = QSize());

// Sets Qt's and libjpeg's own limits so that they back up the caps above and
// never refuse what the caps allow. Called once at start-up.
void configureImageLimits();

}  // namespace rt
