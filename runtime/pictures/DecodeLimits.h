#pragma once

#include <QSize>
#include <QtGlobal>

// The memory caps a picture's header must fit before anything decodes it,
// whatever Qt's own allocation limit or environment says.
namespace rt {

// The largest picture decoded at full size: 200 megapixels, 800 MB as 32-bit
// pixels. Camera photos of 100 megapixels and more fit.
constexpr qint64 kMaxPixels = 200'000'000;

// A thumbnail of a JPEG is decoded at an eighth of its size or less, so a
// larger one is still shown small: up to about 32768 x 32768 (one in several
// scans within the cap below on what a decoder holds besides the picture).
constexpr qint64 kMaxScaledPixels = qint64(1) << 30;

// The most a decoder may hold besides the picture itself: a JPEG decoded in
// several scans (progressive ones) keeps every coefficient of the picture.
constexpr qint64 kMaxDecoderBytes = qint64(1) << 30;

// Files up to this size are read whole before they are decoded, so that
// libjpeg gets the whole file at once; larger ones stream, so that memory
// stays bounded.
constexpr qint64 kInMemoryBytes = qint64(64) << 20;

// Real JPEGs have a dozen scans at most; each costs a pass over the picture,
// so a small file with thousands would take minutes.
constexpr int kMaxJpegScans = 100;

// Whether a picture of `size` has pixels, and no more than `limit` of them.
constexpr bool fits(QSize size, qint64 limit)
{
    return size.width() > 0 && size.height() > 0 && qint64(size.width()) * size.height() <= limit;
}

}  // namespace rt
