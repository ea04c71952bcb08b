#pragma once

#include <QByteArray>

class QImage;

namespace rt {

// Converts, in place, a decoded picture whose colour space (the ICC profile
// its decoder read from the file) is not sRGB, the space the screen is
// painted in, to sRGB. A picture with none, or with sRGB already, is left as
// it is at no cost, and so is one whose profile Qt cannot use: its decoder
// gives it no colour space. Thread-safe.
void convertToSrgb(QImage &image);

// The same for a picture that came without a profile of its own from a file
// that has one (`iccProfile`, as stored): a camera's thumbnail is in the
// colours of the photo it shows.
void convertToSrgb(QImage &image, const QByteArray &iccProfile);

}  // namespace rt
