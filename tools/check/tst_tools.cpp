// Checks of the tools' output: the built-in pictures reach an executable that
// links pixmoor_core and decode at their sizes, and the GIF writer's files
// decode back to the very pixels that went in.

#include "GifWriter.h"

#include <QImageReader>
#include <QRandomGenerator>
#include <QTest>

namespace {

// The colours of `image`, with every fully transparent pixel the same.
QImage comparable(const QImage &image)
{
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) == 0)
                argb.setPixel(x, y, 0);
    return argb;
}

QImage indexedNoise(int w, int h, int colours, quint32 seed)
{
    QImage image(w, h, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.append(qRgb(i, 255 - i, (i * 37) & 0xff));
    image.setColorTable(table);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < w; ++x)
            line[x] = uchar(rng.bounded(colours));
    }
    return image;
}

}  // namespace

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void builtInPictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        for (int i = 1; i <= 4; ++i)
            QTest::newRow(qPrintable(QStringLiteral("badge%1").arg(i)))
                << QStringLiteral(":/art/badge%1.bmp").arg(i) << QSize(20, 20);
        QTest::newRow("pixmoor.png") << QStringLiteral(":/art/pixmoor.png") << QSize(64, 64);
        QTest::newRow("drag.png") << QStringLiteral(":/art/drag.png") << QSize(32, 32);
        QTest::newRow("about.png") << QStringLiteral(":/art/about.png") << QSize(100, 40);
    }

    // They decode at their sizes, the PNGs to what the ICO or JPEG they were
    // made from decodes to; a badge's corners show its dark grey ground.
    void builtInPictures()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(path + QLatin1Char(' ') + reader.errorString()));
        QCOMPARE(image.size(), size);
        if (path.endsWith(QLatin1String(".png"))) {
            const QString name = QFileInfo(path).completeBaseName();
            const QImage source(QStringLiteral(PIXMOOR_ART_DIR "/") + name + (name == u"about" ? ".jpg" : ".ico"));
            QCOMPARE(image.convertToFormat(source.format()), source);
        }
        if (path.contains(QLatin1String("badge"))) {
            for (const QPoint corner : {QPoint(0, 0), QPoint(19, 0), QPoint(0, 19), QPoint(19, 19)})
                QCOMPARE(image.pixel(corner), qRgb(64, 64, 64));
        }
    }

    void gifRoundTrip_data()
    {
        QTest::addColumn<QImage>("image");
        // Noise fills the 4096-entry code table again and again, so the
        // encoder must clear it at the right width.
        QTest::newRow("noise 256") << indexedNoise(401, 299, 256, 1);
        QTest::newRow("noise 3") << indexedNoise(333, 211, 3, 2);
        // A flat picture makes long strings and walks the code width up fast.
        QImage flat(640, 480, QImage::Format_RGB32);
        flat.fill(qRgb(10, 200, 30));
        QTest::newRow("flat") << flat;
        QImage one(1, 1, QImage::Format_RGB32);
        one.fill(qRgb(1, 2, 3));
        QTest::newRow("one pixel") << one;
        // Exactly 256 colours: the table is full and still exact.
        QImage stripes(257, 63, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y)
            for (int x = 0; x < stripes.width(); ++x)
                stripes.setPixel(x, y, qRgb((x + y) & 0xff, 255 - ((x + y) & 0xff), 77));
        QTest::newRow("stripes") << stripes;
        QImage clear(40, 30, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        for (int y = 5; y < 25; ++y)
            for (int x = 5; x < 35; ++x)
                clear.setPixel(x, y, qRgba(255, (x + y) * 5, 40, 255));
        QTest::newRow("transparent") << clear;
    }

    void gifRoundTrip()
    {
        QFETCH(QImage, image);
        const QByteArray bytes = testart::encodeGif(image);
        QVERIFY(bytes.startsWith("GIF89a"));
        QVERIFY(bytes.endsWith(";"));
        const QImage decoded = QImage::fromData(bytes, "gif");
        QVERIFY(!decoded.isNull());
        // With 256 colours or fewer the palette is exact, so every pixel must match.
        QCOMPARE(comparable(decoded), comparable(image));
    }
};

QTEST_GUILESS_MAIN(TestTools)
#include "tst_tools.moc"
