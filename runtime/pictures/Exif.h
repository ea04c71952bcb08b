#pragma once

#include <QByteArray>

// The EXIF data cameras store in a JPEG's APP1 segment: a TIFF structure of
// tagged directories. One reader for the two things the program takes from
// it without decoding anything, the orientation a photo is shown in and the
// camera's small thumbnail of it, so that the two cannot disagree.
namespace rt::exif {

// The orientation, 1 to 8, that Qt's JPEG reader turns a picture by (and so
// the decoder), read as it reads it: from the APP1 segments before the first
// scan, joined in file order, which must begin as EXIF data. The first
// Orientation tag in the first ten directories decides, and only as a single
// SHORT from 1 to 8; a directory that starts before the end of the one read
// before it, or past the data, ends the search. 1 when nothing turns it.
int orientation(const QByteArray &app1);

// The JPEG thumbnail the second directory of EXIF data points at (`tiff`:
// the TIFF structure after "Exif\0\0"); empty when there is none.
QByteArray thumbnail(const QByteArray &tiff);

}  // namespace rt::exif
