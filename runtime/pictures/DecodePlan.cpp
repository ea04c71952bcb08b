#include "runtime/pictures/DecodePlan.h"

#include "runtime/pictures/DecodeLimits.h"

namespace rt {

namespace {

// A picture decoded whole is shrunk afterwards when it is far larger than asked.
QSize kept(QSize decoded, QSize fill)
{
    const QSize target = shrinkSize(decoded, fill);
    return target.isValid() ? target : decoded;
}

}  // namespace

Failure refusalFor(const PictureDescription &picture, QSize fill)
{
    if (picture.format.isEmpty())
        return {Reason::UnsupportedType};
    if (picture.format == "ico") {
        if (!iconAttempts(picture, fill).isEmpty())
            return {};
        return picture.shown.isValid() ? Failure{Reason::TooLarge, picture.shown} : Failure{Reason::UnknownSize};
    }
    if (picture.decoded.isEmpty())
        return {Reason::UnknownSize};
    const bool smaller = picture.scalable && coverSize(picture.shown, fill).isValid();
    if (!fits(picture.decoded, smaller ? kMaxScaledPixels : kMaxPixels) || picture.decoderBytes > kMaxDecoderBytes)
        return {Reason::TooLarge, picture.shown};
    return {};
}

qint64 AnswerLimit::bytes() const
{
    if (size.isEmpty())
        return 0;
    return (qint64(size.width()) * bytesPerPixel + 3) / 4 * 4 * size.height();
}

AnswerLimit answerLimit(const PictureDescription &picture, QSize fill)
{
    AnswerLimit limit;
    if (picture.format == "ico") {
        // Tried one after another: any of them may be the answer.
        int width = 0, height = 0;
        for (const int i : iconAttempts(picture, fill)) {
            const header::IconImage &image = picture.icons[i];
            const QSize size = kept(image.size, fill);
            width = qMax(width, size.width());
            height = qMax(height, size.height());
            limit.bytesPerPixel = qMax(limit.bytesPerPixel, image.bytesPerPixel);
        }
        limit.size = QSize(width, height);
        return limit;
    }
    if (refusalFor(picture, fill))
        return limit;
    // A JPEG is decoded at the size that covers the fill; the others whole.
    const QSize cover = picture.scalable ? coverSize(picture.shown, fill) : QSize();
    limit.size = cover.isValid() ? cover : kept(picture.shown, fill);
    return limit;
}

}  // namespace rt
