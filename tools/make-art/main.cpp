// Writes the program's built-in pictures into the folder given as argv[1]:
//   badge1.bmp .. badge4.bmp  20x20 24-bit BMP slot badges (embossed digits)
//   pixmoor.ico               64x64 16-colour application icon
//   drag.ico                  32x32 + 16x16 16-colour drag cursor picture
//   about.jpg                 100x40 baseline JPEG banner for the About box
//   pixmoor.png, drag.png, about.png  the three above as decoded (drag.ico's
//                             first image), which the program shows
// The outputs are committed under resources/art/; run this only to change them.

#include "BmpIcoWriter.h"
#include "ToolStart.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

using testart::vgaPalette;

// Indices into the 16-colour palette.
enum Vga {
    Black = 0,
    Maroon,
    Green,
    Olive,
    Navy,
    Purple,
    Teal,
    Silver,
    Grey,
    Red,
    Lime,
    Yellow,
    Blue,
    Fuchsia,
    Aqua,
    White
};

QColor vga(Vga i) { return QColor::fromRgb(vgaPalette().at(i)); }

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "make-art: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(bytes.size()));
    return true;
}

QFont boldSans(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

// Badge: the digit in white, embossed with a light grey highlight up-left and a
// dark grey shadow down-right, on a ground of exactly RGB 64,64,64. The glyph
// is rendered antialiased, then quantised to a two-level mask, and the four
// greys are laid from that mask so every pixel is one of them.
QImage badge(int digit)
{
    constexpr int size = 20;
    const QRgb ground = qRgb(64, 64, 64);
    const QRgb highlight = qRgb(176, 176, 176);
    const QRgb shadow = qRgb(24, 24, 24);
    const QRgb face = qRgb(255, 255, 255);

    const QString text = QString::number(digit);
    const QFont font = boldSans(15);
    const QFontMetrics metrics(font);
    const QRect ink = metrics.tightBoundingRect(text);
    // Centre the ink itself (not the line box), on whole pixels.
    const int x = (size - ink.width()) / 2 - ink.left();
    const int y = (size - ink.height()) / 2 - ink.top();

    QImage coverage(size, size, QImage::Format_Grayscale8);
    coverage.fill(0);
    QPainter p(&coverage);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(x, y, text);
    p.end();

    auto inGlyph = [&](int col, int row) {
        if (col < 0 || row < 0 || col >= size || row >= size)
            return false;
        return coverage.constScanLine(row)[col] >= 160;
    };

    QImage image(size, size, QImage::Format_RGB32);
    for (int row = 0; row < size; ++row) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(row));
        for (int col = 0; col < size; ++col) {
            if (inGlyph(col, row))
                line[col] = face;
            else if (inGlyph(col + 1, row + 1))
                line[col] = highlight;  // the glyph's copy moved up-left
            else if (inGlyph(col - 1, row - 1))
                line[col] = shadow;  // the glyph's copy moved down-right
            else
                line[col] = ground;
        }
    }
    return image;
}

// A landscape (sky, sun, cloud, hills) filling `area`, drawn with palette
// colours only and no antialiasing so it quantises exactly.
void drawLandscape(QPainter &p, const QRect &area)
{
    p.save();
    p.setClipRect(area);
    p.setPen(Qt::NoPen);
    const int w = area.width();
    const int h = area.height();
    const bool big = h >= 24;

    // Sky: blue above, aqua towards the horizon, joined by a dithered band.
    p.fillRect(area, vga(Blue));
    if (big) {
        const int seam = area.top() + h * 40 / 100;
        p.fillRect(QRect(area.left(), seam, w, area.bottom() - seam + 1), vga(Aqua));
        for (int y = seam - 2; y < seam; ++y) {
            for (int x = area.left() + ((area.left() + y) & 1); x <= area.right(); x += 2)
                p.fillRect(QRect(x, y, 1, 1), vga(Aqua));
        }
    }

    // Sun.
    const QPoint sun(area.left() + w * 72 / 100, area.top() + h * 28 / 100);
    if (big) {
        const int r = h / 7;
        p.setBrush(vga(Yellow));
        p.setPen(QPen(vga(Olive), 0));
        p.drawEllipse(sun, r, r);
        p.setPen(Qt::NoPen);
        // Cloud.
        p.setBrush(vga(White));
        const QPoint c(area.left() + w * 25 / 100, area.top() + h * 22 / 100);
        p.drawEllipse(c, w / 10, h / 14 + 1);
        p.drawEllipse(c + QPoint(w / 10, 1), w / 9, h / 12 + 1);
    } else {
        // A plus-shaped sun reads better than a tiny circle.
        const int r = h >= 12 ? 2 : 1;
        p.fillRect(QRect(sun.x() - r + 1, sun.y() - r, 2 * r - 1, 2 * r + 1), vga(Yellow));
        p.fillRect(QRect(sun.x() - r, sun.y() - r + 1, 2 * r + 1, 2 * r - 1), vga(Yellow));
    }

    // Hills: a light back hill and a darker front hill.
    p.setBrush(vga(Lime));
    p.drawEllipse(QPoint(area.left() + w * 78 / 100, area.bottom() + h * 22 / 100), w * 55 / 100, h * 60 / 100);
    p.setBrush(vga(Green));
    p.drawEllipse(QPoint(area.left() + w * 15 / 100, area.bottom() + h * 24 / 100), w * 60 / 100, h * 52 / 100);
    p.restore();
}

QImage appIcon()
{
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);

    const QRect frame(2, 7, 58, 50);
    // Drop shadow.
    p.fillRect(frame.translated(3, 3), vga(Grey));
    // Frame: black outline, silver body, bevel lines.
    p.fillRect(frame, vga(Black));
    const QRect body = frame.adjusted(1, 1, -1, -1);
    p.fillRect(body, vga(Silver));
    p.fillRect(QRect(body.left(), body.top(), body.width(), 1), vga(White));
    p.fillRect(QRect(body.left(), body.top(), 1, body.height()), vga(White));
    p.fillRect(QRect(body.left(), body.bottom(), body.width(), 1), vga(Grey));
    p.fillRect(QRect(body.right(), body.top(), 1, body.height()), vga(Grey));
    // Inner mount: a sunken edge around the picture.
    const QRect mount = frame.adjusted(5, 5, -5, -5);
    p.fillRect(mount, vga(Grey));
    p.fillRect(QRect(mount.left() + 1, mount.bottom(), mount.width() - 1, 1), vga(White));
    p.fillRect(QRect(mount.right(), mount.top() + 1, 1, mount.height() - 1), vga(White));
    drawLandscape(p, mount.adjusted(1, 1, -1, -1));
    p.end();
    return image;
}

// A picture sheet: a white page with a folded corner and a small landscape.
QImage dragImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);

    const bool small = size < 24;
    const int left = small ? 2 : 4;
    const int right = size - 1 - (small ? 2 : 4);
    const int top = small ? 0 : 1;
    const int bottom = size - 1 - (small ? 1 : 2);
    const int fold = small ? 4 : 7;

    // Page outline and body, row by row, so the fold is exact.
    for (int y = top; y <= bottom; ++y) {
        const int cut = y - top < fold ? fold - (y - top) : 0;  // pixels cut off the top-right
        const int r = right - cut;
        p.fillRect(QRect(left, y, r - left + 1, 1), vga(Black));
        if (y > top && y < bottom && r - 1 > left)
            p.fillRect(QRect(left + 1, y, r - left - 1, 1), vga(White));
    }
    // Fold triangle.
    for (int i = 0; i <= fold; ++i) {
        const int y = top + i;
        const int x0 = right - fold;
        const int x1 = right - fold + i;
        p.fillRect(QRect(x0, y, x1 - x0 + 1, 1), vga(Black));
        if (i > 0 && i < fold && x1 - 1 > x0)
            p.fillRect(QRect(x0 + 1, y, x1 - x0 - 1, 1), vga(Silver));
    }
    // Drop shadow along the right and bottom edges.
    p.fillRect(QRect(right + 1, top + fold + 1, 1, bottom - top - fold + 1), vga(Grey));
    p.fillRect(QRect(left + 1, bottom + 1, right - left + 1, 1), vga(Grey));

    // The picture on the sheet.
    QRect pic;
    if (small)
        pic = QRect(left + 2, top + fold + 2, right - left - 3, bottom - top - fold - 4);
    else
        pic = QRect(left + 3, top + fold + 4, right - left - 5, bottom - top - fold - 10);
    p.fillRect(pic.adjusted(-1, -1, 1, 1), vga(Grey));
    drawLandscape(p, pic);
    if (!small) {
        // Two caption lines under the picture.
        p.fillRect(QRect(left + 3, pic.bottom() + 3, right - left - 8, 1), vga(Silver));
        p.fillRect(QRect(left + 3, pic.bottom() + 5, right - left - 12, 1), vga(Silver));
    }
    p.end();
    return image;
}

QImage aboutBanner()
{
    QImage image(100, 40, QImage::Format_RGB32);
    image.setDotsPerMeterX(2835);  // 72 dots per inch
    image.setDotsPerMeterY(2835);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    QLinearGradient sky(0, 0, 100, 40);
    sky.setColorAt(0.0, QColor(24, 62, 140));
    sky.setColorAt(0.55, QColor(112, 58, 160));
    sky.setColorAt(1.0, QColor(236, 120, 64));
    p.fillRect(image.rect(), sky);

    // Subtle light circles for depth.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    p.drawEllipse(QPointF(84, 4), 22, 22);
    p.drawEllipse(QPointF(60, 40), 14, 14);

    // A small framed landscape on the left.
    const QRectF frame(4.5, 8.5, 28, 23);
    p.setPen(QPen(QColor(30, 30, 40), 1));
    p.setBrush(QColor(245, 245, 240));
    p.drawRect(frame);
    const QRectF pic = frame.adjusted(3, 3, -3, -3);
    p.save();
    p.setClipRect(pic);
    QLinearGradient air(pic.topLeft(), pic.bottomLeft());
    air.setColorAt(0, QColor(70, 140, 230));
    air.setColorAt(1, QColor(170, 220, 250));
    p.fillRect(pic, air);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 214, 40));
    p.drawEllipse(QPointF(pic.left() + 17, pic.top() + 5), 3, 3);
    p.setBrush(QColor(120, 200, 80));
    p.drawEllipse(QPointF(pic.left() + 18, pic.bottom() + 5), 16, 10);
    p.setBrush(QColor(40, 140, 60));
    p.drawEllipse(QPointF(pic.left() + 2, pic.bottom() + 4), 14, 9);
    p.restore();

    // Name.
    const QString name = QStringLiteral("Pixmoor");
    const int textLeft = 36;
    const int room = 100 - textLeft - 3;
    QFont font = boldSans(15);
    while (font.pixelSize() > 9 && QFontMetrics(font).boundingRect(name).width() > room)
        font.setPixelSize(font.pixelSize() - 1);
    p.setFont(font);
    const QFontMetrics metrics(font);
    const QRect ink = metrics.tightBoundingRect(name);
    const int x = textLeft + (room - ink.width()) / 2 - ink.left();
    const int y = (40 - ink.height()) / 2 - ink.top();
    p.setPen(QColor(20, 16, 40, 150));
    p.drawText(x + 1, y + 1, name);
    p.setPen(Qt::white);
    p.drawText(x, y, name);
    p.end();
    return image;
}

bool writeJpeg(const QString &path, const QImage &image)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(false);
    writer.setOptimizedWrite(false);
    if (!writer.write(image)) {
        std::fprintf(stderr, "make-art: cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        return false;
    }
    std::printf("wrote %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(QFile(path).size()));
    return true;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const auto folder = testart::outputFolder(argc, argv, "make-art");
    if (!folder)
        return 2;
    const QDir &out = *folder;

    bool ok = true;
    for (int digit = 1; digit <= 4; ++digit) {
        ok &= writeBytes(out.filePath(QStringLiteral("badge%1.bmp").arg(digit)), testart::encodeBmp24(badge(digit), 2));
    }
    ok &= writeBytes(out.filePath(QStringLiteral("pixmoor.ico")), testart::encodeIco16({appIcon()}));
    ok &= writeBytes(out.filePath(QStringLiteral("drag.ico")), testart::encodeIco16({dragImage(32), dragImage(16)}));
    ok &= writeJpeg(out.filePath(QStringLiteral("about.jpg")), aboutBanner());
    // What the program shows: each of the three above as decoded, stored as PNG,
    // which QtGui reads without an image plugin.
    for (const char *name : {"pixmoor", "drag", "about"}) {
        const QString from = out.filePath(QString::fromLatin1(name) + (name[0] == 'a' ? ".jpg" : ".ico"));
        const QString to = out.filePath(QString::fromLatin1(name) + ".png");
        const QImage decoded(from);
        ok &= !decoded.isNull() && decoded.save(to, "png");
        std::printf("wrote %s\n", qPrintable(to));
    }
    return ok ? 0 : 1;
}
