#pragma once

#include "runtime/pictures/PictureHeader.h"

#include <QByteArray>

class QIODevice;

namespace rt {

struct PictureDescription;

// How the program's own reader tells a format's pictures, with no library's
// parser in its process: by their leading bytes, and by what their header
// says, read as the format's Qt decoder reads it (PictureHeader.h).
struct PictureReader
{
    // Whether the file on `device` (seekable, at its start) is one of its
    // pictures; `head` holds its first 16 bytes (fewer in a shorter file).
    bool (*recognises)(QIODevice &device, const QByteArray &head);
    // Fills in `picture` (whose format is set) from its header, read from the start.
    void (*describe)(QIODevice &device, PictureDescription &picture, header::ScanCount scans);
    // A small picture of it in base64, for the decoder process to decode
    // before it shuts itself in; null where Qt's writer writes one.
    const char *preload = nullptr;
};

// The readers the `reader` column of PictureFormats.table names.
namespace readers {
extern const PictureReader bitmap, jpeg, gif, icon;
}  // namespace readers

}  // namespace rt
