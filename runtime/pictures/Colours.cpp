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

void convertToSrgb(QImage &image, const QByteArray &iccProfile)
{
    if (!image.colorSpace().isValid() && !iccProfile.isEmpty())
        image.setColorSpace(QColorSpace::fromIccProfile(iccProfile));
    convertToSrgb(image);
}

}  // namespace rt
