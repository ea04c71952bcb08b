// The thumbnails that cameras embed in a JPEG's EXIF data: used for a list
// cell when they cover it and have the picture's shape, turned as the picture
// is; never for a slot.
#include "ExifWriter.h"
#include "app/Form1.h"
#include "runtime/controls/FileListBox.h"
#include "runtime/controls/ImageBox.h"
#include "support/TestSupport.h"
#include "thumbnailing/ExifThumbnail.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

using rt::Form;

namespace {

const QColor kPictureLeft(220, 30, 30), kPictureRight(30, 200, 30);
const QColor kThumbLeft(30, 30, 220), kThumbRight(230, 220, 30);

QImage halves(QSize size, QColor left, QColor right)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, size.width() / 2, size.height(), left);
    p.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), right);
    return image;
}

QByteArray jpegOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.write(image);
    return bytes;
}

// A photo of `picture` size, red then green, whose camera thumbnail of `thumb`
// size is blue then yellow, so that a cell tells which one it shows.
QByteArray cameraJpeg(QSize picture, QSize thumb, int orientation = 1)
{
    testart::CameraExif exif;
    exif.orientation = orientation;
    exif.thumbnail = jpegOf(halves(thumb, kThumbLeft, kThumbRight));
    return testart::withCameraExif(jpegOf(halves(picture, kPictureLeft, kPictureRight)), exif);
}

bool near(QRgb pixel, QColor expected)
{
    const QColor c(pixel);
    return qAbs(c.red() - expected.red()) < 40 && qAbs(c.green() - expected.green()) < 40
        && qAbs(c.blue() - expected.blue()) < 40;
}

} // namespace

class ExifThumbnailTest : public QObject
{
    Q_OBJECT
    QTemporaryDir cacheHome;  // the shared thumbnail cache stays out of the user's home
    std::unique_ptr<test::Folder> folder;

    Form1 &main() { return form1(); }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(folder->file(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(cacheHome.isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
        test::prepareApplication();
    }

    void init()
    {
        folder = std::make_unique<test::Folder>();
        QVERIFY(test::startIn(folder->path()));
    }

    void cleanup() { test::unloadAllWindows(); }

    void cellUsesTheThumbnailOnlyWhenItFits_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("thumb");
        QTest::addColumn<bool>("used");
        QTest::newRow("camera 4:3") << QSize(640, 480) << QSize(160, 120) << true;
        QTest::newRow("within 2 %") << QSize(640, 480) << QSize(160, 121) << true;
        QTest::newRow("just covers the cell") << QSize(650, 650) << QSize(65, 65) << true;
        QTest::newRow("bars for another shape") << QSize(640, 360) << QSize(160, 120) << false;
        QTest::newRow("3 % off") << QSize(640, 480) << QSize(160, 124) << false;
        QTest::newRow("too small for the cell") << QSize(640, 480) << QSize(64, 48) << false;
    }

    void cellUsesTheThumbnailOnlyWhenItFits()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, thumb);
        QFETCH(bool, used);
        write(QStringLiteral("photo.jpg"), cameraJpeg(picture, thumb));
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        const rt::Picture &cell = list->Image1(0).picture();
        QVERIFY(!cell.isEmpty());
        QCOMPARE(cell.fileSize(), picture);
        const QImage image = cell.image();
        const QRgb left = image.pixel(image.width() / 4, image.height() / 2);
        const QRgb right = image.pixel(image.width() * 3 / 4, image.height() / 2);
        QVERIFY2(near(left, used ? kThumbLeft : kPictureLeft), qPrintable(QColor(left).name()));
        QVERIFY2(near(right, used ? kThumbRight : kPictureRight), qPrintable(QColor(right).name()));
    }

    void thumbnailIsTurnedAsThePictureIs_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QColor>("topLeft");
        QTest::addColumn<QColor>("bottomRight");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("1 as stored") << 1 << kThumbLeft << kThumbRight << QSize(640, 480);
        QTest::newRow("2 mirrored") << 2 << kThumbRight << kThumbLeft << QSize(640, 480);
        QTest::newRow("3 half a turn") << 3 << kThumbRight << kThumbLeft << QSize(640, 480);
        QTest::newRow("6 quarter turn right") << 6 << kThumbLeft << kThumbRight << QSize(480, 640);
        QTest::newRow("8 quarter turn left") << 8 << kThumbRight << kThumbLeft << QSize(480, 640);
    }

    void thumbnailIsTurnedAsThePictureIs()
    {
        QFETCH(int, orientation);
        QFETCH(QColor, topLeft);
        QFETCH(QColor, bottomRight);
        QFETCH(QSize, shown);
        write(QStringLiteral("turned.jpg"), cameraJpeg(QSize(640, 480), QSize(160, 120), orientation));
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        const rt::Picture &cell = list->Image1(0).picture();
        QCOMPARE(cell.fileSize(), shown);
        // Left and right halves of the stored thumbnail become top and bottom
        // after a quarter turn; the corners tell every case apart.
        const QImage image = cell.image();
        QVERIFY(near(image.pixel(12, 12), topLeft));
        QVERIFY(near(image.pixel(image.width() - 12, image.height() - 12), bottomRight));
    }

    void slotShowsThePictureItself()
    {
        write(QStringLiteral("photo.jpg"), cameraJpeg(QSize(640, 480), QSize(160, 120)));
        main().File1->Refresh();
        const auto found = main().File1->findItems(QStringLiteral("photo.jpg"), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        test::doubleClick(main().File1->viewport(), main().File1->visualItemRect(found.first()).center());
        const QImage image = main().previewSlots[1].image->picture().image();
        QVERIFY(!image.isNull());
        QVERIFY(near(image.pixel(image.width() / 4, image.height() / 2), kPictureLeft));
        QVERIFY(near(image.pixel(image.width() * 3 / 4, image.height() / 2), kPictureRight));
    }

    void damagedExifDataIsRefusedSafely()
    {
        const QByteArray photo = cameraJpeg(QSize(320, 240), QSize(160, 120), 6);
        QVERIFY(exifThumbnail(photo, QSize(65, 65)).has_value());
        // Every cut inside the EXIF segment and the frame header, then bytes
        // changed at random in the segment: never more than "no thumbnail".
        const qsizetype segment = 4 + ((uchar(photo[4]) << 8) | uchar(photo[5]));
        for (qsizetype cut = 0; cut < segment + 200; ++cut) {
            const auto found = exifThumbnail(photo.left(cut), QSize(65, 65));
            QVERIFY(!found || found->image.size() == QSize(120, 160));
        }
        QRandomGenerator random(12);
        for (int round = 0; round < 2000; ++round) {
            QByteArray damaged = photo;
            for (int k = 0; k < 4; ++k)
                damaged[6 + random.bounded(int(segment) - 6)] = char(random.bounded(256));
            const auto found = exifThumbnail(damaged, QSize(65, 65));
            QVERIFY(!found || (!found->image.isNull() && found->image.width() <= 0xFFFF));
        }
    }
};

QTEST_MAIN(ExifThumbnailTest)
#include "tst_exif_thumbnail.moc"
