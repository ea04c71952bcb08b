// Checks of the tools' output: the built-in pictures reach an executable that
// links pixmoor_core and decode at their sizes, and the GIF writer's files
// decode back to the very pixels that went in.

#include "BmpIcoWriter.h"
#include "GifWriter.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTest>

namespace {

QImage decodeGif(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    return reader.read();
}

// Compares colours, treating fully transparent pixels as equal whatever their colour.
bool samePixels(const QImage &a, const QImage &b, QString *where)
{
    if (a.size() != b.size()) {
        *where = QStringLiteral("size %1x%2 vs %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
        return false;
    }
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            if (qAlpha(p) == 0 && qAlpha(q) == 0)
                continue;
            if (p != q) {
                *where = QStringLiteral("pixel %1,%2: %3 vs %4").arg(col).arg(row).arg(p, 8, 16).arg(q, 8, 16);
                return false;
            }
        }
    }
    return true;
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

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void builtInPictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qint64>("bytes");
        for (int i = 1; i <= 4; ++i)
            QTest::newRow(qPrintable(QStringLiteral("badge%1").arg(i)))
                << QStringLiteral(":/art/badge%1.bmp").arg(i) << QSize(20, 20) << qint64(1256);
        QTest::newRow("pixmoor.ico") << QStringLiteral(":/art/pixmoor.ico") << QSize(64, 64) << qint64(2686);
        QTest::newRow("drag.ico") << QStringLiteral(":/art/drag.ico") << QSize(32, 32) << qint64(1078);
        QTest::newRow("about.jpg") << QStringLiteral(":/art/about.jpg") << QSize(100, 40) << qint64(-1);
    }

    void builtInPictures()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(qint64, bytes);
        QFile file(path);
        QVERIFY2(file.exists(), qPrintable(path));
        if (bytes >= 0)
            QCOMPARE(file.size(), bytes);
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), size);
    }

    void badgesHaveTheirGround()
    {
        for (int i = 1; i <= 4; ++i) {
            const QImage image(QStringLiteral(":/art/badge%1.bmp").arg(i));
            QVERIFY(!image.isNull());
            for (const QPoint corner : {QPoint(0, 0), QPoint(19, 0), QPoint(0, 19), QPoint(19, 19)})
                QCOMPARE(image.pixel(corner), qRgb(64, 64, 64));
        }
    }

    void iconsAreSixteenColours()
    {
        const QList<std::pair<QString, QList<QSize>>> icons = {
            {QStringLiteral(":/art/pixmoor.ico"), {QSize(64, 64)}},
            {QStringLiteral(":/art/drag.ico"), {QSize(32, 32), QSize(16, 16)}},
        };
        for (const auto &[path, sizes] : icons) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray b = file.readAll();
            const int count = uchar(b[4]) | uchar(b[5]) << 8;
            QCOMPARE(count, sizes.size());
            for (int k = 0; k < count; ++k) {
                const char *entry = b.constData() + 6 + 16 * k;
                QCOMPARE(int(uchar(entry[2])), 16); // colours
                QCOMPARE(int(uchar(entry[6])), 4);  // bits per pixel
            }
            QImageReader reader(path);
            QCOMPARE(reader.imageCount(), count);
            for (int k = 0; k < count; ++k) {
                QVERIFY(reader.jumpToImage(k));
                const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
                QCOMPARE(image.size(), sizes.at(k));
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x) {
                        const QRgb c = image.pixel(x, y);
                        if (qAlpha(c) != 0)
                            QVERIFY(testart::vgaPalette().contains(qRgb(qRed(c), qGreen(c), qBlue(c))));
                    }
            }
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
        const QImage decoded = decodeGif(bytes);
        QVERIFY(!decoded.isNull());
        // With 256 colours or fewer the palette is exact, so every pixel must match.
        QString where;
        QVERIFY2(samePixels(image, decoded, &where), qPrintable(where));
    }

    void gifManyColoursStillClose()
    {
        // More than 256 colours: dithered, so only the average colour must hold.
        QImage image(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                image.setPixel(x, y, qRgb(x * 255 / 399, y * 255 / 299, 128));
        const QImage decoded = decodeGif(testart::encodeGif(image)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(decoded.size(), image.size());
        for (const QRect block : {QRect(0, 0, 20, 20), QRect(380, 280, 20, 20), QRect(190, 140, 20, 20)}) {
            qint64 sum[2][3] = {};
            for (int y = block.top(); y <= block.bottom(); ++y)
                for (int x = block.left(); x <= block.right(); ++x) {
                    const QRgb a = image.pixel(x, y), b = decoded.pixel(x, y);
                    sum[0][0] += qRed(a), sum[0][1] += qGreen(a), sum[0][2] += qBlue(a);
                    sum[1][0] += qRed(b), sum[1][1] += qGreen(b), sum[1][2] += qBlue(b);
                }
            for (int c = 0; c < 3; ++c)
                QVERIFY(qAbs(sum[0][c] - sum[1][c]) / 400 < 24);
        }
    }
};

QTEST_GUILESS_MAIN(TestTools)
#include "tst_tools.moc"
