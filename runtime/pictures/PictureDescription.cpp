#include "runtime/pictures/PictureDescription.h"

#include "runtime/pictures/DecodeLimits.h"

#include <algorithm>

namespace rt {

namespace {

// Held far below what can overflow: a header may claim sides of 2^31 each,
// and what is past the caps is refused before decoding anyway.
qint64 area(QSize size) { return size.isValid() ? qMin(qint64(size.width()) * size.height(), qint64(1) << 40) : 0; }

// The size libjpeg decodes at when Qt asks it for `target`: the largest
// reduction by 1/2, 1/4 or 1/8 that still covers it. Reckoned from the
// shorter side against the longer one, so that no choice Qt makes is larger.
QSize libjpegSize(QSize stored, QSize target)
{
    const int ratio = qMin(stored.width(), stored.height()) / qMax(1, qMax(target.width(), target.height()));
    int denominator = 1;
    while (denominator < 8 && denominator * 2 <= ratio)
        denominator *= 2;
    return QSize((stored.width() + denominator - 1) / denominator, (stored.height() + denominator - 1) / denominator);
}

// A picture decoded whole, and shrunk afterwards when that is asked for.
qint64 wholeBytes(QSize decoded, int bytesPerPixel, bool oriented, QSize fill)
{
    qint64 bytes = area(decoded) * bytesPerPixel * (oriented ? 2 : 1);
    if (const QSize target = shrinkSize(decoded, fill); target.isValid()) {
        // Smooth scaling works on 32 (or 64) bits a pixel: fewer are widened first.
        if (bytesPerPixel < 4)
            bytes += area(decoded) * 4;
        bytes += area(target) * qMax(bytesPerPixel, 4);
    }
    return bytes;
}

}  // namespace

QSize coverSize(QSize picture, QSize fill)
{
    if (!fill.isValid() || fill.isEmpty() || picture.width() <= fill.width() || picture.height() <= fill.height())
        return QSize();
    return picture.scaled(fill, Qt::KeepAspectRatioByExpanding);
}

QSize shrinkSize(QSize decoded, QSize fill)
{
    const QSize target = coverSize(decoded, fill);
    return target.isValid() && area(decoded) > 4 * area(target) ? target : QSize();
}

QList<int> iconAttempts(const PictureDescription &picture, QSize fill)
{
    constexpr int kMaxIconAttempts = 8;
    const QList<header::IconImage> &images = picture.icons;
    QList<int> usable;
    for (int i = 0; i < images.size(); ++i) {
        if (fits(images[i].size, kMaxPixels))
            usable.append(i);
    }
    auto covers = [&](int i) {
        return fill.isValid() && images[i].size.width() >= fill.width() && images[i].size.height() >= fill.height();
    };
    std::stable_sort(usable.begin(), usable.end(), [&](int a, int b) {
        if (covers(a) != covers(b))
            return covers(a);
        const qint64 areaA = area(images[a].size), areaB = area(images[b].size);
        if (areaA != areaB)
            return covers(a) ? areaA < areaB : areaA > areaB;
        return images[a].bitCount > images[b].bitCount;
    });
    return usable.mid(0, kMaxIconAttempts);
}

qint64 decodeBytes(const PictureDescription &picture, QSize fill)
{
    if (picture.format == "ico") {
        // Tried one after another: the largest of them is what is held at once.
        qint64 most = 0;
        for (const int i : iconAttempts(picture, fill)) {
            const header::IconImage &image = picture.icons[i];
            most = qMax(most, wholeBytes(image.size, image.bytesPerPixel, false, fill));
        }
        return most;
    }
    if (picture.format.isEmpty() || !picture.decoded.isValid())
        return 0;
    const QSize target = picture.scalable ? coverSize(picture.shown, fill) : QSize();
    if (!target.isValid())
        return picture.decoderBytes + wholeBytes(picture.decoded, picture.bytesPerPixel, picture.oriented, fill);
    // libjpeg's reduced picture, shrunk by Qt into the image it was handed,
    // and turned into a copy: all at about the size asked for.
    const QSize stored = picture.rotated ? target.transposed() : target;
    return picture.decoderBytes + area(libjpegSize(picture.decoded, stored)) * 4
        + area(target) * 4 * (picture.oriented ? 3 : 2);
}

}  // namespace rt
