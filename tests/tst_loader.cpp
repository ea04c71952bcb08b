// The loader's choices on pictures that are valid but awkward: which decoder
// may see a file, which image of an icon is shown, how the EXIF orientation
// turns a picture, and how small a thumbnail is decoded.
#include "runtime/Failure.h"
#include "runtime/PictureLoader.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"

#include <QImageReader>
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

    void theFourFormatsAreKnownByContentWhateverTheName()
    {
        const QSize size(30, 20);
        const QList<QByteArray> pictures = {encoded(pattern(size), "bmp"), jpeg(size), gif(size),
                                            iconFile({iconBitmap(size)})};
        for (const QByteArray &bytes : pictures) {
            for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("a.png"), QStringLiteral("noname")}) {
                const rt::Decoded decoded = decode(file(name, bytes));
                QVERIFY(!decoded.image.isNull());
                QCOMPARE(decoded.image.size(), size);
            }
        }
        QCOMPARE(decode(file(QStringLiteral("empty.bmp"), QByteArray())).error.reason, rt::Reason::EmptyFile);
    }

    void aJpegWithStrayBytesBeforeItsFirstSegmentIsShown()
    {
        // Bytes between the start of the image and its first marker: libjpeg
        // skips them with a warning, a 0xFF 0x00 pair included.
        const QByteArray photo = jpeg(QSize(64, 48));
        const QByteArray stray = photo.left(2) + QByteArray("\0\r\n\x12\xFF\0\x7F", 7) + photo.mid(2);
        const QString path = file(QStringLiteral("stray.jpg"), stray);
        QCOMPARE(QImageReader(path).read().size(), QSize(64, 48));  // as Qt alone shows it
        QCOMPARE(decode(path).image.size(), QSize(64, 48));
        QCOMPARE(decode(path, QSize(16, 16)).fileSize, QSize(64, 48));

        // The limits still apply to such a file.
        const QByteArray scans = withRepeatedScan(jpeg(QSize(64, 64), true), 300);
        const rt::Decoded many = decode(file(QStringLiteral("scans.jpg"), scans.left(2) + "\0\0" + scans.mid(2)));
        QCOMPARE(many.error.reason, rt::Reason::TooManyScans);
        const QByteArray lying = withJpegSize(photo, QSize(60000, 60000));
        const rt::Decoded huge = decode(file(QStringLiteral("huge.jpg"), lying.left(2) + "\0\0" + lying.mid(2)));
        QCOMPARE(huge.error.reason, rt::Reason::TooLarge);

        // The start of an image followed by no marker is no JPEG.
        QCOMPARE(decode(file(QStringLiteral("no marker.jpg"), QByteArray("\xFF\xD8\0\0\xFF\0", 6) + QByteArray(100, 'x'))).error.reason,
                 rt::Reason::UnsupportedType);
    }

    void iconsShowTheirLargestImageAndThumbnailsTheSmallestThatCovers()
    {
        const QString icon = file(QStringLiteral("a.ico"), iconFile({iconBitmap(QSize(16, 16)), iconBitmap(QSize(48, 48)),
                                                                     iconBitmap(QSize(32, 32))}));
        QCOMPARE(QImageReader(icon).size(), QSize(16, 16));  // what Qt alone would show
        QCOMPARE(decode(icon).image.size(), QSize(48, 48));
        QCOMPARE(decode(icon, QSize(20, 20)).image.size(), QSize(32, 32));
        QCOMPARE(decode(icon, QSize(20, 20)).fileSize, QSize(48, 48));
        QCOMPARE(decode(icon, QSize(100, 100)).image.size(), QSize(48, 48));

        // A PNG image is taken at its own size, not the directory's 256.
        const QString png = file(QStringLiteral("png.ico"), iconFile({iconBitmap(QSize(16, 16)), iconPng(QSize(64, 40), QSize(64, 40))}));
        QCOMPARE(decode(png).image.size(), QSize(64, 40));

        // A damaged best image gives way to the next one.
        IconPart cut = iconBitmap(QSize(48, 48));
        cut.data.chop(cut.data.size() / 2);
        const QString damaged = file(QStringLiteral("cut.ico"), iconFile({iconBitmap(QSize(16, 16)), cut}));
        QCOMPARE(decode(damaged).image.size(), QSize(16, 16));
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

    void thumbnailsAreDecodedSmallButNeverEnlarged()
    {
        const QSize fill(105, 105);
        const rt::Decoded photo = decode(file(QStringLiteral("photo.jpg"), jpeg(QSize(4000, 3000))), fill);
        QCOMPARE(photo.image.size(), QSize(140, 105));
        QCOMPARE(photo.fileSize, QSize(4000, 3000));

        // Bitmaps decode at full size and are shrunk afterwards.
        const rt::Decoded bitmap = decode(file(QStringLiteral("wide.bmp"), encoded(pattern(QSize(2100, 1400)), "bmp")), fill);
        QCOMPARE(bitmap.image.height(), 105);
        QVERIFY(qAbs(bitmap.image.width() - 158) <= 1);

        // A picture thinner than the thumbnail in one direction stays as it
        // is: covering it with the same aspect would take a 210000-pixel line.
        QCOMPARE(decode(file(QStringLiteral("line.gif"), gif(QSize(2000, 1))), fill).image.size(), QSize(2000, 1));
        QCOMPARE(decode(file(QStringLiteral("tiny.bmp"), encoded(pattern(QSize(10, 10)), "bmp")), fill).image.size(),
                 QSize(10, 10));
    }

    void aGifLargerThanItsImageIsShownWhole()
    {
        // The decoder paints into the logical screen: that is the picture's size.
        const QString wide = file(QStringLiteral("screen.gif"), withGifScreen(gif(QSize(8, 8)), QSize(3000, 2500)));
        QCOMPARE(QImageReader(wide).size(), QSize(8, 8));  // Qt reports the image alone
        const rt::Decoded decoded = decode(wide);
        QCOMPARE(decoded.image.size(), QSize(3000, 2500));
        QCOMPARE(decoded.fileSize, QSize(3000, 2500));
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
