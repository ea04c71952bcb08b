#include "runtime/pictures/Colours.h"

#include <QColorSpace>
#include <QImage>

namespace rt {

void convertToSrgb(QImage &image)
{
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace::SRgb)
        image.convertToColorSpace(QColorSpace::SRgb);
}

} // namespace rt
