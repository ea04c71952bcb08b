#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>

namespace testart {

// A 24-bit uncompressed BMP (BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up
// rows padded to 4 bytes). trailingPad zero bytes are appended after the pixel
// rows and counted in both bfSize and biSizeImage, as some old writers did.
// Alpha is dropped. Resolution fields are written as 0.
QByteArray encodeBmp24(const QImage &image, int trailingPad = 0);

// The standard 16-colour Windows/VGA palette, in the order icons and 4-bit
// bitmaps use: black, maroon, green, olive, navy, purple, teal, silver, grey,
// red, lime, yellow, blue, fuchsia, aqua, white.
const QList<QRgb> &vgaPalette();

// Index of the palette colour nearest to c (plain RGB distance).
int nearestVga(QRgb c);

// An ICO file holding one 16-colour (4 bits per pixel) image per entry of
// images, in the given order. Each picture is quantised to vgaPalette();
// pixels with alpha below 128 are transparent through the AND mask (and get
// colour index 0). Sizes 1..256 are accepted; returns an empty array otherwise.
QByteArray encodeIco16(const QList<QImage> &images);

}  // namespace testart
