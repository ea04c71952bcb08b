// The loader's choices on pictures that are valid but awkward: which decoder
// may see a file, which image of an icon is shown, how the EXIF orientation
// turns a picture, and how small a thumbnail is decoded.
#include "runtime/services/Failure.h"
#include "runtime/decoding/Decode.h"
#include "runtime/pictures/PictureLoader.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"

#include <QImageWriter>
#include <QTest>

using namespace test::hostile;

namespace {

rt::Decoded decode(const QString &path, QSize fill = QSize())
{
    return rt::decodePicture(path, fill);
}

bool redder(QRgb pixel)
{
    return qRed(pixel) > 200 && qBlue(pixel) < 60;
}

} // namespace

class LoaderTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;

    QString file(const QString &name, const QByteArray &bytes) { return write(folder->file(name), bytes); }

private slots:
    void initTestCase() { test::prepareApplication(); }
    void init() { folder = std::make_unique<test::Folder>(); }

    void otherFormatsNeverReachTheirDecoders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QImage picture = pattern(QSize(24, 16));
        // Whatever Qt can write here, including plugins such as TIFF and WebP
        // when they are installed, and what it cannot, by its leading bytes.
        for (const char *format : {"png", "ppm", "pgm", "pbm", "xbm", "xpm", "tiff", "webp", "tga", "wbmp", "icns"}) {
            if (QImageWriter::supportedImageFormats().contains(format))
                QTest::newRow(format) << encoded(picture, format);
        }
        QTest::newRow("svg") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>");
        QTest::newRow("tiff header") << QByteArray("II*\0\x08\0\0\0\0\0", 10);
        QTest::newRow("webp header") << QByteArray("RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0\x2f\0\0\0\x10\x07\x10\x11\x11\x88\x88\xfe\x07\0", 34);
        QTest::newRow("text") << QByteArray("just some words\n");
        QTest::newRow("one byte") << QByteArray("B");
        QTest::newRow("zeros") << QByteArray(4096, '\0');
        QTest::newRow("cursor of no images") << QByteArray("\0\0\2\0\0\0", 6);
    }

    void otherFormatsNeverReachTheirDecoders()
    {
        QFETCH(QByteArray, bytes);
        for (const QString &name : {QStringLiteral("x.jpg"), QStringLiteral("x.bmp"), QStringLiteral("x.gif"),
                                    QStringLiteral("x.ico")}) {
            const rt::Decoded decoded = decode(file(name, bytes));
            QVERIFY(decoded.image.isNull());
            QCOMPARE(decoded.error.reason, rt::Reason::UnsupportedType);
        }
    }

    // What a decode gives: the image at the size asked for (a thumbnail
    // covers `fill`, never enlarged) and the picture's own size.
    void decodesAtTheirSize_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("fill");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("fileSize");
        const QSize size(30, 20), cell(105, 105);
        // The four formats are known by their content, whatever the name.
        QTest::newRow("bmp") << encoded(pattern(size), "bmp") << QSize() << size << size;
        QTest::newRow("jpeg") << jpeg(size) << QSize() << size << size;
        QTest::newRow("gif") << gif(size) << QSize() << size << size;
        QTest::newRow("ico") << iconFile({iconBitmap(size)}) << QSize() << size << size;
        // Icons show their largest image and thumbnails the smallest that covers.
        const QByteArray icon = iconFile({iconBitmap(QSize(16, 16)), iconBitmap(QSize(48, 48)), iconBitmap(QSize(32, 32))});
        QTest::newRow("ico largest") << icon << QSize() << QSize(48, 48) << QSize(48, 48);
        QTest::newRow("ico covering") << icon << QSize(20, 20) << QSize(32, 32) << QSize(48, 48);
        QTest::newRow("ico none covers") << icon << QSize(100, 100) << QSize(48, 48) << QSize(48, 48);
        // A PNG image is taken at its own size, not the directory's 256.
        QTest::newRow("ico png") << iconFile({iconBitmap(QSize(16, 16)), iconPng(QSize(64, 40), QSize(64, 40))})
                                 << QSize() << QSize(64, 40) << QSize(64, 40);
        // A damaged best image gives way to the next one.
        IconPart cut = iconBitmap(QSize(48, 48));
        cut.data.chop(cut.data.size() / 2);
        QTest::newRow("ico damaged") << iconFile({iconBitmap(QSize(16, 16)), cut}) << QSize() << QSize(16, 16) << QSize();
        QTest::newRow("jpeg thumbnail") << jpeg(QSize(4000, 3000)) << cell << QSize(140, 105) << QSize(4000, 3000);
        // Bitmaps decode at full size and are shrunk afterwards.
        QTest::newRow("bmp thumbnail") << encoded(pattern(QSize(2100, 1400)), "bmp") << cell << QSize(157, 105)
                                       << QSize(2100, 1400);
        // A picture thinner than the thumbnail in one direction stays as it
        // is: covering it with the same aspect would take a 210000-pixel line.
        QTest::newRow("gif line") << gif(QSize(2000, 1)) << cell << QSize(2000, 1) << QSize(2000, 1);
        QTest::newRow("bmp tiny") << encoded(pattern(QSize(10, 10)), "bmp") << cell << QSize(10, 10) << QSize(10, 10);
        // The decoder paints into the logical screen: that is the picture's size.
        QTest::newRow("gif screen") << withGifScreen(gif(QSize(8, 8)), QSize(3000, 2500)) << QSize() << QSize(3000, 2500)
                                    << QSize(3000, 2500);
        // Bytes between the start of the image and its first marker: libjpeg
        // skips them with a warning, a 0xFF 0x00 pair included.
        const QByteArray photo = jpeg(QSize(64, 48));
        const QByteArray stray = photo.left(2) + QByteArray("\0\r\n\x12\xFF\0\x7F", 7) + photo.mid(2);
        QTest::newRow("jpeg stray bytes") << stray << QSize() << QSize(64, 48) << QSize(64, 48);
        QTest::newRow("jpeg stray bytes thumbnail") << stray << QSize(16, 16) << QSize() << QSize(64, 48);
    }

    void decodesAtTheirSize()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, fill);
        QFETCH(QSize, image);
        QFETCH(QSize, fileSize);
        for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("a.png"), QStringLiteral("noname")}) {
            const rt::Decoded decoded = decode(file(name, bytes), fill);
            if (image.isValid())
                QCOMPARE(decoded.image.size(), image);
            if (fileSize.isValid())
                QCOMPARE(decoded.fileSize, fileSize);
        }
    }

    void jpegLimitsHoldPastStrayBytes()
    {
        const QByteArray scans = withRepeatedScan(jpeg(QSize(64, 64), true), 300);
        const rt::Decoded many = decode(file(QStringLiteral("scans.jpg"), scans.left(2) + "\0\0" + scans.mid(2)));
        QCOMPARE(many.error.reason, rt::Reason::TooManyScans);
        const QByteArray lying = withJpegSize(jpeg(QSize(64, 48)), QSize(60000, 60000));
        const rt::Decoded huge = decode(file(QStringLiteral("huge.jpg"), lying.left(2) + "\0\0" + lying.mid(2)));
        QCOMPARE(huge.error.reason, rt::Reason::TooLarge);
        // The start of an image followed by no marker is no JPEG; an empty file is none at all.
        QCOMPARE(decode(file(QStringLiteral("no marker.jpg"), QByteArray("\xFF\xD8\0\0\xFF\0", 6) + QByteArray(100, 'x'))).error.reason,
                 rt::Reason::UnsupportedType);
        QCOMPARE(decode(file(QStringLiteral("empty.bmp"), QByteArray())).error.reason, rt::Reason::EmptyFile);
    }

    void exifOrientationTurnsThePictureAndItsSize()
    {
        QImage raw(400, 200, QImage::Format_RGB32);
        raw.fill(Qt::blue);
        for (int y = 0; y < 200; ++y)
            std::fill_n(reinterpret_cast<QRgb *>(raw.scanLine(y)), 200, qRgb(255, 0, 0));
        const QString turned = file(QStringLiteral("turned.jpg"), withOrientation(encoded(raw, "jpeg"), 6));

        const rt::Decoded full = decode(turned);
        QCOMPARE(full.image.size(), QSize(200, 400));
        QCOMPARE(full.fileSize, QSize(200, 400));
        QVERIFY(redder(full.image.pixel(100, 20)));  // turned clockwise: the left half is on top
        QVERIFY(!redder(full.image.pixel(100, 380)));

        // Thumbnails cover what they are asked to, in the turned orientation.
        QCOMPARE(decode(turned, QSize(50, 100)).image.size(), QSize(50, 100));
        QCOMPARE(decode(turned, QSize(100, 50)).image.size(), QSize(100, 200));
        const rt::Decoded small = decode(turned, QSize(60, 60));
        QCOMPARE(small.image.size(), QSize(60, 120));
        QCOMPARE(small.fileSize, QSize(200, 400));
        QVERIFY(redder(small.image.pixel(30, 10)));
    }

    void eachLoadHasAHandleAndAFailureNamesTheFile()
    {
        const QString bmp = file(QStringLiteral("a.bmp"), encoded(pattern(QSize(30, 20)), "bmp"));
        QCOMPARE(rt::loadPicture(QString()).handle(), quint64(0));  // the empty picture
        const rt::Picture one = rt::loadPicture(bmp);
        const rt::Picture two = rt::loadPicture(bmp);
        QVERIFY(one.handle() != 0 && one.handle() != two.handle());
        QCOMPARE(one.image().size(), QSize(30, 20));

        const QList<QPair<QString, rt::Reason>> refused = {
            {folder->file(QStringLiteral("gone.jpg")), rt::Reason::NotFound},
            {file(QStringLiteral("notes.jpg"), "just words"), rt::Reason::UnsupportedType},
            {folder->path(), rt::Reason::IsFolder}};
        for (const auto &[path, reason] : refused) {
            const auto failure = rt::trap([&] { rt::loadPicture(path); });
            QVERIFY2(failure, qPrintable(path));
            QCOMPARE(failure->reason(), reason);
            QCOMPARE(failure->path(), path);
            QVERIFY(failure->message().contains(QDir::toNativeSeparators(path)));
        }
    }

    void builtInPicturesLoadFromResources()
    {
        QVERIFY(!decode(QStringLiteral(":/art/about.jpg")).image.isNull());
        QVERIFY(decode(QStringLiteral(":/art/none.jpg")).image.isNull());
    }
};

QTEST_MAIN(LoaderTest)
#include "tst_loader.moc"
