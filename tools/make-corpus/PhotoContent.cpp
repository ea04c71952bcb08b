#include "PhotoContent.h"

#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>

namespace corpus {

namespace {

QImage noise(QSize size, QRandomGenerator &random)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        random.fillRange(line, size.width());
        for (int x = 0; x < size.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    return image;
}

// A 3 x 3 box blur, as a camera's optics soften the finest texture.
QImage blurred(const QImage &image)
{
    QImage out(image.size(), QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y) {
        auto *to = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            int r = 0, g = 0, b = 0, n = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                const int yy = y + dy;
                if (yy < 0 || yy >= h)
                    continue;
                const auto *from = reinterpret_cast<const QRgb *>(image.constScanLine(yy));
                for (int dx = -1; dx <= 1; ++dx) {
                    const int xx = x + dx;
                    if (xx < 0 || xx >= w)
                        continue;
                    r += qRed(from[xx]), g += qGreen(from[xx]), b += qBlue(from[xx]), ++n;
                }
            }
            to[x] = qRgb(r / n, g / n, b / n);
        }
    }
    return out;
}

}  // namespace

QImage photoLike(QSize size, quint32 seed, QSize blobs, double grain)
{
    QRandomGenerator random(seed);
    const QImage low = noise(blobs, random).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage mid = blurred(noise(size / 5, random)).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage image(size, QImage::Format_RGB32);
    // Fine noise: the sum of two uniform values, roughly Gaussian.
    const int spread = int(grain * 128);
    for (int y = 0; y < size.height(); ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(low.constScanLine(y));
        const auto *b = reinterpret_cast<const QRgb *>(mid.constScanLine(y));
        auto *to = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const quint64 r = random.generate64();
            auto channel = [&](int from, int texture, int shift) {
                const int grainOf =
                    spread ? (int((r >> shift) & 0xFF) + int((r >> (shift + 8)) & 0xFF) - 255) * spread / 255 : 0;
                return qBound(0, (from * 35 + texture * 65) / 100 + grainOf, 255);
            };
            to[x] = qRgb(channel(qRed(a[x]), qRed(b[x]), 0), channel(qGreen(a[x]), qGreen(b[x]), 16),
                         channel(qBlue(a[x]), qBlue(b[x]), 32));
        }
    }
    return image;
}

QImage gradient(int side, int hue)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(side / 2.0, side / 2.0, side / 2.0);
    g.setColorAt(0, QColor::fromHsl(hue % 360, 230, 140));
    g.setColorAt(1, QColor::fromHsl((hue + 150) % 360, 200, 75));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(0, 0, side, side));
    return image;
}

}  // namespace corpus
