#pragma once

#include "runtime/pictures/PictureDescription.h"
#include "runtime/services/Reason.h"

#include <QSize>

// What is decided from a picture's description before any decoder sees it,
// and what is accepted back: the program and the decoder read the header
// alike, so they cannot disagree.
namespace rt {

// Why the picture described is refused before decoding for `fill` (invalid:
// full size): no picture of the formats opened, a size its header does not
// tell, one past the caps. No failure when it may be decoded. A JPEG's scans
// are not counted here: its decoder counts them.
Failure refusalFor(const PictureDescription &picture, QSize fill);

// The largest image a decode of the picture for `fill` gives: width and
// height each at most `size`, at most `bytesPerPixel` bytes a pixel.
struct AnswerLimit
{
    QSize size;
    int bytesPerPixel = 4;
    qint64 bytes() const;  // what any image within the limit takes, 0 for none
};
AnswerLimit answerLimit(const PictureDescription &picture, QSize fill);

}  // namespace rt
