#pragma once

#include <QStringList>

#include <span>

class QIODevice;

namespace rt {

struct PictureReader;

// A picture format the program opens: a row of PictureFormats.table, the one
// list of them, which tells what each column is for.
struct PictureFormat
{
    const char *format;           // Qt's name of it: its decoder is asked for this one, and no other
    const char *name;             // as users read it: "JPEG"
    const char *item;             // its item in the file list's type filter: "jpg"
    const char *patterns;         // the names the file list shows, as its pattern takes them: "*.jpg"
    const PictureReader *reader;  // how it is recognised and its header read (PictureReaders.h)
    const char *plugin;           // the class of the Qt plugin that decodes it; null where QtGui does
};

// Every format, in the table's order, which is the order they are listed in.
std::span<const PictureFormat> pictureFormats();

// The format of the picture on `device` (seekable), told by its leading bytes
// whatever its name, and whatever other decoders might accept; null for any
// other file.
const PictureFormat *recognisedFormat(QIODevice &device);

// Every format's file patterns, in the table's order: "*.bmp", "*.jpg"...
QStringList filePatterns();

}  // namespace rt
