#pragma once

#include <QImage>
#include <QSize>

// Pictures that cost what photos cost to decode: smooth colour areas, blurred
// mid-scale texture and fine sensor-like noise, so that a JPEG of one has a
// photo's entropy (about 3 MB for 4000 x 3000 at quality 90). The same seed
// always gives the same picture.
namespace corpus {

// `size` pixels from `seed`: colour blobs from a grid of `blobs` random
// colours, blended with blurred noise from a grid a fifth of the picture's
// size, plus noise of `grain` (0 to 1) per pixel.
QImage photoLike(QSize size, quint32 seed, QSize blobs = QSize(40, 30), double grain = 0.12);

// A picture with a radial gradient from one hue to another, for icons.
QImage gradient(int side, int hue);

}  // namespace corpus
