// Writes a handful of sample pictures into the folder given as argv[1], for
// trying the viewer by hand. Files that already exist are left alone.
//
//   landscape.jpg   800x600   JPEG
//   portrait.jpg    600x800   JPEG
//   square.jpg      512x512   JPEG
//   花の写真.jpg     640x480   JPEG, Japanese name
//   sea view.bmp    640x480   24-bit BMP, name with a space
//   palette.bmp     160x120   8-bit palette BMP
//   balloons.gif    400x300   GIF, 256-colour table
//   bands.gif       400x300   GIF, 256-colour table
//   star.ico        48x48     ICO
//   globe.ico       256x256   ICO
//   broken.jpg      text named like a picture, to see the load error

#include "GifWriter.h"
#include "ToolStart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

QFont labelFont(int pixelSize, bool bold = true)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    font.setPixelSize(pixelSize);
    return font;
}

// The file's name and the picture's size in a rounded box near the bottom of
// the area (by default the whole picture).
void caption(QPainter &p, const QSize &size, const QString &text, QSize area = {})
{
    if (area.isEmpty())
        area = size;
    p.save();
    const int px = std::max(12, size.height() / 22);
    p.setFont(labelFont(px));
    const QFontMetrics fm(p.font());
    const QString line = QStringLiteral("%1  %2 x %3").arg(text).arg(size.width()).arg(size.height());
    const int w = fm.horizontalAdvance(line) + px * 2;
    const int h = fm.height() + px / 2;
    const QRect box((area.width() - w) / 2, area.height() - h - px, w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 140));
    p.drawRoundedRect(box, h / 3.0, h / 3.0);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, line);
    p.restore();
}

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

void prepare(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
}

QImage landscape(const QString &name)
{
    QImage image = canvas(800, 600);
    QPainter p(&image);
    prepare(p);
    QLinearGradient sky(0, 0, 0, 380);
    sky.setColorAt(0, QColor(40, 30, 110));
    sky.setColorAt(0.6, QColor(230, 90, 90));
    sky.setColorAt(1, QColor(255, 200, 90));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(QPointF(560, 330), 90);
    sun.setColorAt(0, QColor(255, 250, 200));
    sun.setColorAt(0.5, QColor(255, 210, 80));
    sun.setColorAt(1, QColor(255, 160, 60, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(560, 330), 90, 90);
    // Mountains.
    QPainterPath far;
    far.moveTo(0, 400);
    for (int x = 0; x <= 800; x += 40)
        far.lineTo(x, 330 + 50 * std::sin(x / 70.0) + 25 * std::cos(x / 23.0));
    far.lineTo(800, 600);
    far.lineTo(0, 600);
    p.setBrush(QColor(90, 60, 120));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(0, 470);
    for (int x = 0; x <= 800; x += 20)
        near.lineTo(x, 440 + 30 * std::sin(x / 55.0 + 1.0));
    near.lineTo(800, 600);
    near.lineTo(0, 600);
    QLinearGradient ground(0, 420, 0, 600);
    ground.setColorAt(0, QColor(40, 110, 70));
    ground.setColorAt(1, QColor(10, 50, 30));
    p.setBrush(ground);
    p.drawPath(near);
    caption(p, image.size(), name);
    return image;
}

QImage portrait(const QString &name)
{
    QImage image = canvas(600, 800);
    QPainter p(&image);
    prepare(p);
    QLinearGradient sky(0, 0, 0, 800);
    sky.setColorAt(0, QColor(20, 60, 140));
    sky.setColorAt(0.7, QColor(120, 190, 240));
    sky.setColorAt(0.71, QColor(30, 90, 150));
    sky.setColorAt(1, QColor(10, 40, 90));
    p.fillRect(image.rect(), sky);
    // Lighthouse.
    QPolygonF tower({QPointF(260, 560), QPointF(340, 560), QPointF(320, 220), QPointF(280, 220)});
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(tower);
    p.setBrush(QColor(210, 40, 40));
    for (int band = 0; band < 3; ++band) {
        const qreal y0 = 260 + band * 100, y1 = y0 + 45;
        const qreal k0 = (y0 - 220) / 340.0 * 20, k1 = (y1 - 220) / 340.0 * 20;
        p.drawPolygon(
            QPolygonF({QPointF(280 - k0, y0), QPointF(320 + k0, y0), QPointF(320 + k1, y1), QPointF(280 - k1, y1)}));
    }
    p.setBrush(QColor(40, 40, 50));
    p.drawRect(QRectF(270, 190, 60, 30));
    p.drawPolygon(QPolygonF({QPointF(265, 190), QPointF(335, 190), QPointF(300, 160)}));
    QRadialGradient beam(QPointF(300, 205), 160);
    beam.setColorAt(0, QColor(255, 250, 180, 220));
    beam.setColorAt(1, QColor(255, 250, 180, 0));
    p.setBrush(beam);
    p.drawPolygon(QPolygonF({QPointF(300, 205), QPointF(600, 120), QPointF(600, 290)}));
    p.drawEllipse(QPointF(300, 205), 30, 30);
    // Rocks.
    p.setBrush(QColor(70, 60, 55));
    p.drawEllipse(QRectF(180, 540, 240, 70));
    caption(p, image.size(), name);
    return image;
}

QImage square(const QString &name)
{
    QImage image = canvas(512, 512);
    QPainter p(&image);
    prepare(p);
    QLinearGradient back(0, 0, 512, 512);
    back.setColorAt(0, QColor(250, 240, 220));
    back.setColorAt(1, QColor(200, 220, 250));
    p.fillRect(image.rect(), back);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 12; ++i) {
        const qreal a = i * M_PI / 6;
        QColor c = QColor::fromHsv(i * 30, 200, 240, 170);
        p.setBrush(c);
        p.drawEllipse(QPointF(256 + 120 * std::cos(a), 230 + 120 * std::sin(a)), 70, 70);
    }
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawEllipse(QPointF(256, 230), 60, 60);
    caption(p, image.size(), name);
    return image;
}

QImage flowers(const QString &name)
{
    QImage image = canvas(640, 480);
    QPainter p(&image);
    prepare(p);
    QLinearGradient back(0, 0, 0, 480);
    back.setColorAt(0, QColor(180, 225, 255));
    back.setColorAt(0.55, QColor(230, 245, 255));
    back.setColorAt(0.56, QColor(110, 180, 90));
    back.setColorAt(1, QColor(50, 120, 50));
    p.fillRect(image.rect(), back);
    const struct
    {
        qreal x, y, r;
        int hue;
    } blooms[] = {
        {120, 300, 40, 340}, {250, 250, 55, 50}, {400, 310, 45, 290}, {530, 260, 50, 0}, {320, 370, 35, 200},
    };
    for (const auto &b : blooms) {
        p.setPen(QPen(QColor(40, 110, 40), 5));
        p.drawLine(QPointF(b.x, b.y), QPointF(b.x, 480));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromHsv(b.hue, 150, 250));
        for (int k = 0; k < 6; ++k) {
            const qreal a = k * M_PI / 3;
            p.drawEllipse(QPointF(b.x + b.r * 0.6 * std::cos(a), b.y + b.r * 0.6 * std::sin(a)), b.r * 0.45,
                          b.r * 0.45);
        }
        p.setBrush(QColor(250, 210, 60));
        p.drawEllipse(QPointF(b.x, b.y), b.r * 0.3, b.r * 0.3);
    }
    p.setFont(labelFont(40));
    p.setPen(QColor(60, 60, 120));
    p.drawText(QRect(0, 30, 640, 60), Qt::AlignCenter, QStringLiteral("花の写真"));
    caption(p, image.size(), name);
    return image;
}

QImage sea(const QString &name)
{
    QImage image = canvas(640, 480);
    QPainter p(&image);
    prepare(p);
    QLinearGradient back(0, 0, 0, 480);
    back.setColorAt(0, QColor(120, 190, 240));
    back.setColorAt(0.45, QColor(220, 240, 255));
    back.setColorAt(0.46, QColor(30, 110, 170));
    back.setColorAt(1, QColor(10, 50, 100));
    p.fillRect(image.rect(), back);
    p.setPen(QPen(QColor(220, 240, 255, 160), 3));
    for (int row = 0; row < 8; ++row) {
        QPainterPath wave;
        const qreal y = 240 + row * 28;
        wave.moveTo(0, y);
        for (int x = 0; x <= 640; x += 8)
            wave.lineTo(x, y + 5 * std::sin(x / 18.0 + row));
        p.drawPath(wave);
    }
    // Sailing boat.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 60, 30));
    p.drawPolygon(QPolygonF({QPointF(250, 250), QPointF(390, 250), QPointF(370, 280), QPointF(270, 280)}));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(320, 120), QPointF(320, 240), QPointF(250, 240)}));
    p.setBrush(QColor(240, 80, 60));
    p.drawPolygon(QPolygonF({QPointF(326, 140), QPointF(326, 240), QPointF(380, 240)}));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(120, 80), 50, 18);
    p.drawEllipse(QPointF(160, 70), 40, 20);
    caption(p, image.size(), name);
    return image;
}

// A small 8-bit palette picture with more than 16 colours (so it is not
// written as 4-bit).
QImage paletteImage()
{
    QList<QRgb> table;
    for (int i = 0; i < 64; ++i)
        table.append(QColor::fromHsv(i * 360 / 64, 220, 240).rgb());
    table.append(qRgb(0, 0, 0));
    table.append(qRgb(255, 255, 255));
    QImage image(160, 120, QImage::Format_Indexed8);
    image.setColorTable(table);
    for (int y = 0; y < 120; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < 160; ++x) {
            const qreal dx = x - 80, dy = y - 60;
            const qreal d = std::sqrt(dx * dx + dy * dy);
            if (d > 55)
                line[x] = ((x / 10 + y / 10) % 2) ? 64 : 65;
            else
                line[x] = uchar(int((std::atan2(dy, dx) + M_PI) / (2 * M_PI) * 64) % 64);
        }
    }
    return image;
}

QImage balloons(const QString &name)
{
    QImage image = canvas(400, 300);
    QPainter p(&image);
    prepare(p);
    QLinearGradient back(0, 0, 0, 300);
    back.setColorAt(0, QColor(90, 160, 230));
    back.setColorAt(1, QColor(210, 235, 255));
    p.fillRect(image.rect(), back);
    const struct
    {
        qreal x, y;
        QColor c;
    } list[] = {
        {90, 120, QColor(230, 50, 60)},   {170, 90, QColor(250, 200, 40)},  {250, 130, QColor(60, 180, 90)},
        {320, 100, QColor(150, 80, 200)}, {200, 170, QColor(250, 130, 40)},
    };
    for (const auto &b : list) {
        p.setPen(QPen(QColor(80, 80, 80), 1));
        p.drawLine(QPointF(b.x, b.y + 40), QPointF(b.x + 10, 290));
        QRadialGradient g(QPointF(b.x - 12, b.y - 15), 50);
        g.setColorAt(0, b.c.lighter(170));
        g.setColorAt(1, b.c.darker(120));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(QPointF(b.x, b.y), 32, 40);
    }
    caption(p, image.size(), name);
    return image;
}

QImage bands(const QString &name)
{
    QImage image = canvas(400, 300);
    QPainter p(&image);
    prepare(p);
    const QColor colours[] = {Qt::white, Qt::yellow, Qt::cyan, Qt::green, Qt::magenta, Qt::red, Qt::blue, Qt::black};
    for (int i = 0; i < 8; ++i)
        p.fillRect(QRect(i * 50, 0, 50, 200), colours[i]);
    QLinearGradient grey(0, 0, 400, 0);
    grey.setColorAt(0, Qt::black);
    grey.setColorAt(1, Qt::white);
    p.fillRect(QRect(0, 200, 400, 50), grey);
    QLinearGradient hue(0, 0, 400, 0);
    for (int i = 0; i <= 6; ++i)
        hue.setColorAt(i / 6.0, QColor::fromHsv((i * 60) % 360, 255, 255));
    p.fillRect(QRect(0, 250, 400, 50), hue);
    caption(p, image.size(), name, QSize(400, 200));
    return image;
}

QImage star(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    prepare(p);
    QPolygonF poly;
    for (int i = 0; i < 10; ++i) {
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const qreal r = (i % 2 ? 0.2 : 0.47) * size;
        poly << QPointF(size / 2.0 + r * std::cos(a), size / 2.0 + r * std::sin(a));
    }
    QLinearGradient g(0, 0, 0, size);
    g.setColorAt(0, QColor(255, 240, 120));
    g.setColorAt(1, QColor(240, 150, 20));
    p.setPen(QPen(QColor(150, 80, 0), std::max(1, size / 24)));
    p.setBrush(g);
    p.drawPolygon(poly);
    return image;
}

QImage globe(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    prepare(p);
    const QPointF c(size / 2.0, size / 2.0);
    const qreal r = size * 0.45;
    QRadialGradient sea(c - QPointF(r / 3, r / 3), r * 1.4);
    sea.setColorAt(0, QColor(120, 200, 255));
    sea.setColorAt(1, QColor(10, 60, 150));
    p.setPen(Qt::NoPen);
    p.setBrush(sea);
    p.drawEllipse(c, r, r);
    p.save();
    QPainterPath clip;
    clip.addEllipse(c, r, r);
    p.setClipPath(clip);
    p.setBrush(QColor(70, 170, 80));
    p.drawEllipse(QPointF(c.x() - r * 0.3, c.y() - r * 0.2), r * 0.35, r * 0.45);
    p.drawEllipse(QPointF(c.x() + r * 0.45, c.y() + r * 0.3), r * 0.3, r * 0.25);
    p.setPen(QPen(QColor(255, 255, 255, 90), size / 128.0 + 1));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i < 4; ++i)
        p.drawEllipse(c, r * i / 4.0, r);
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
    p.restore();
    return image;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const auto folder = testart::outputFolder(argc, argv, "make-samples");
    if (!folder)
        return 2;
    const QDir &out = *folder;

    auto viaQt = [](const char *format, int quality = -1) {
        return [format, quality](const QString &path, const QImage &image) {
            QImageWriter writer(path, format);
            if (quality >= 0)
                writer.setQuality(quality);
            return writer.write(image);
        };
    };
    using Writer = std::function<bool(const QString &, const QImage &)>;
    const Writer gif = [](const QString &path, const QImage &image) { return testart::writeGif(image, path); };
    using Maker = std::function<QImage(const QString &)>;
    const struct Sample
    {
        QString name;
        Maker make;
        Writer write;
    } samples[] = {
        {QStringLiteral("landscape.jpg"), landscape, viaQt("jpeg", 88)},
        {QStringLiteral("portrait.jpg"), portrait, viaQt("jpeg", 88)},
        {QStringLiteral("square.jpg"), square, viaQt("jpeg", 88)},
        {QStringLiteral("花の写真.jpg"), flowers, viaQt("jpeg", 88)},
        {QStringLiteral("sea view.bmp"), sea, viaQt("bmp")},
        {QStringLiteral("palette.bmp"), [](const QString &) { return paletteImage(); }, viaQt("bmp")},
        {QStringLiteral("balloons.gif"), balloons, gif},
        {QStringLiteral("bands.gif"), bands, gif},
        {QStringLiteral("star.ico"), [](const QString &) { return star(48); }, viaQt("ico")},
        {QStringLiteral("globe.ico"), [](const QString &) { return globe(256); }, viaQt("ico")},
    };

    int failures = 0;
    for (const Sample &s : samples) {
        const QString path = out.filePath(s.name);
        if (QFileInfo::exists(path)) {
            std::printf("exists, skipped: %s\n", qPrintable(path));
            continue;
        }
        if (s.write(path, s.make(s.name))) {
            std::printf("wrote %s\n", qPrintable(path));
        } else {
            std::fprintf(stderr, "make-samples: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }

    const QString broken = out.filePath(QStringLiteral("broken.jpg"));
    if (QFileInfo::exists(broken)) {
        std::printf("exists, skipped: %s\n", qPrintable(broken));
    } else {
        QSaveFile file(broken);
        const QByteArray text = "This is not a picture, only text in a file named like one.\n"
                                "Pixmoor should say that it cannot show it.\n";
        if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit()) {
            std::printf("wrote %s\n", qPrintable(broken));
        } else {
            std::fprintf(stderr, "make-samples: cannot write %s\n", qPrintable(broken));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
