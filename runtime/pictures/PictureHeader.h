#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>

class QIODevice;

// What a picture file says about itself before anything is decoded: the size
// of the image its decoder allocates, its orientation and what decoding it
// will cost (its format is told apart in PictureReaders.cpp, which reads its
// header with these). These are the program's own
// small readers: it reads every picture's header in its own process, so no
// library's parser sees the untrusted bytes there, and they read each header
// as Qt's decoders (which run confined) do, so that the two agree wherever Qt
// reads the file. Qt's reports would not be enough anyway: a GIF decoder
// paints into the logical screen whatever size Qt reports, an icon may hold a
// PNG image far larger than its directory claims, and a JPEG costs one pass
// over the whole picture per scan. Each function reads from the start of the
// (seekable) device and leaves its position anywhere.
namespace rt::header {

// The logical screen of a GIF, which its decoder allocates whatever size its
// images are. A zero side is taken from the first image, as the decoder
// takes it: its offset plus its extent. Invalid when neither tells.
QSize gifScreen(QIODevice &device);

struct Bitmap
{
    QSize size;             // as its decoder allocates it, the height of a top-down bitmap made positive
    int bytesPerPixel = 4;  // 1, 4 and 8 bits a pixel are decoded as stored, to one byte
};
// A BMP file's header as Qt's reader takes it: the size is invalid where the
// reader refuses the header (a variant, depth or compression it does not
// know, sides it does not believe, a header cut short).
Bitmap bitmap(QIODevice &device);

// The sides a decoder allocates for a size Qt's reader reports: bitmaps
// stored top row first report a negative height. Invalid when none is reported.
QSize allocatedSize(QSize reported);

// True for a GIF whose blocks run well formed to the trailer while none of
// its images has a pixel: no image at all, or images of zero width or height.
bool gifIsBlank(QIODevice &device);

struct JpegLayout
{
    QSize size;     // from the frame header; invalid without one
    int scans = 0;  // start-of-scan markers before the end of the image; 1 for a picture
                    // decoded in one pass, whose first scan holds every component,
                    // and for any picture when only the first is looked for
    bool progressive = false;
    qint64 coefficientBytes = 0;  // kept for the whole picture when decoding takes several scans
    int orientation = 1;          // the EXIF orientation Qt's reader turns it by, 1 to 8 (rt::exif)
};
// Whether a JPEG's scans are all counted (a walk over the whole file), or
// the walk stops at the first, which decides the cost of its decode.
enum class ScanCount { UpToFirst, Every };
JpegLayout jpegLayout(QIODevice &device, ScanCount count);

struct IconImage
{
    QSize size;             // as its decoder allocates it: a PNG image at its own size; invalid for none
    int bitCount = 0;       // colour depth as the directory gives it
    int bytesPerPixel = 4;  // of the image its decoder allocates: 8 for a PNG of 16-bit samples
};
// The images of an icon or cursor file, in directory order (the first 256).
QList<IconImage> iconImages(QIODevice &device);

}  // namespace rt::header
