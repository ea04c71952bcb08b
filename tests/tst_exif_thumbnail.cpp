// The thumbnails that cameras embed in a JPEG's EXIF data: used for a list
// cell when they cover it and have the picture's shape, turned as the picture
// is; never for a slot.
#include "ExifWriter.h"
#include "app/Form1.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "support/TestSupport.h"
#include "thumbnailing/ExifThumbnail.h"
#include "thumbs/Form10.h"

#include <QBuffer>
#include <QColorSpace>
#include <QColorTransform>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

namespace {

const QColor kPictureLeft(220, 30, 30), kPictureRight(30, 200, 30);
const QColor kThumbLeft(30, 30, 220), kThumbRight(230, 220, 30);

// A JPEG of `size`, `left` then `right`, with the profile of `space` if valid.
QByteArray jpegOf(QSize size, QColor left, QColor right, const QColorSpace &space = {})
{
    QImage image(size, QImage::Format_RGB32);
    image.setColorSpace(space);
    image.fill(left);
    QPainter(&image).fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), right);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    image.save(&buffer, "jpeg", 90);
    return bytes;
}

// A photo of `picture` size, red then green, whose camera thumbnail of `thumb`
// size is blue then yellow, so that a cell tells which one it shows. The
// photo's colour profile, if any, is its thumbnail's too.
QByteArray cameraJpeg(QSize picture, QSize thumb, int orientation = 1, const QColorSpace &space = {})
{
    return testart::withCameraExif(jpegOf(picture, kPictureLeft, kPictureRight, space),
                                   {.orientation = orientation, .thumbnail = jpegOf(thumb, kThumbLeft, kThumbRight)});
}

} // namespace

class ExifThumbnailTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;

private slots:
    void initTestCase() { test::prepareApplication(); }  // which keeps the caches in a temporary folder

    void init()
    {
        folder = std::make_unique<test::Folder>();
        QVERIFY(test::startIn(folder->path()));
    }

    void cleanup() { test::unloadAllWindows(); }

    // The top of the cell's picture tells its halves apart; a quarter turn
    // makes the stored thumbnail's left and right its top and bottom.
    void cellUsesTheThumbnailWhenItFitsTurnedAsThePictureIs_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("thumb");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QColor>("topLeft");
        QTest::addColumn<QColor>("topRight");
        QTest::addColumn<QColorSpace>("space");
        const QSize photo(640, 480), camera(160, 120);
        QTest::newRow("camera 4:3") << photo << camera << 1 << kThumbLeft << kThumbRight << QColorSpace();
        QTest::newRow("within 2 %") << photo << QSize(160, 121) << 1 << kThumbLeft << kThumbRight << QColorSpace();
        QTest::newRow("just covers the cell") << QSize(650, 650) << QSize(65, 65) << 1 << kThumbLeft << kThumbRight << QColorSpace();
        QTest::newRow("bars for another shape") << QSize(640, 360) << camera << 1 << kPictureLeft << kPictureRight << QColorSpace();
        QTest::newRow("3 % off") << photo << QSize(160, 124) << 1 << kPictureLeft << kPictureRight << QColorSpace();
        QTest::newRow("too small for the cell") << photo << QSize(64, 48) << 1 << kPictureLeft << kPictureRight << QColorSpace();
        QTest::newRow("2 mirrored") << photo << camera << 2 << kThumbRight << kThumbLeft << QColorSpace();
        QTest::newRow("3 half a turn") << photo << camera << 3 << kThumbRight << kThumbLeft << QColorSpace();
        QTest::newRow("6 quarter turn right") << photo << camera << 6 << kThumbLeft << kThumbLeft << QColorSpace();
        QTest::newRow("8 quarter turn left") << photo << camera << 8 << kThumbRight << kThumbRight << QColorSpace();
        // Shown in sRGB as the photo is: its values read in its own profile, here linear light.
        const QColorSpace linear(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Linear);
        const QColorTransform toScreen = linear.transformationToColorSpace(QColorSpace::SRgb);
        QTest::newRow("photo with a profile") << photo << camera << 1 << toScreen.map(kThumbLeft)
                                              << toScreen.map(kThumbRight) << linear;
    }

    void cellUsesTheThumbnailWhenItFitsTurnedAsThePictureIs()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, thumb);
        QFETCH(int, orientation);
        QFETCH(QColor, topLeft);
        QFETCH(QColor, topRight);
        QFETCH(QColorSpace, space);
        folder->text("photo.jpg", cameraJpeg(picture, thumb, orientation, space));
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        QCOMPARE(list->Image1(0).picture().fileSize(), orientation < 5 ? picture : picture.transposed());
        const QImage image = list->Image1(0).picture().image();
        QVERIFY(test::closeInColour(test::colourAt(image, 1.0 / 3, 1.0 / 3), topLeft)
                && test::closeInColour(test::colourAt(image, 2.0 / 3, 1.0 / 3), topRight));
    }

    void slotShowsThePictureItself()
    {
        folder->text("photo.jpg", cameraJpeg(QSize(640, 480), QSize(160, 120)));
        form1().File1->Refresh();
        test::openFile("photo.jpg");
        const QImage image = form1().previewSlots[1].image->picture().image();
        QVERIFY(test::closeInColour(test::colourAt(image, 0.25, 0.5), kPictureLeft)
                && test::closeInColour(test::colourAt(image, 0.75, 0.5), kPictureRight));
    }

    void damagedExifDataIsRefusedSafely()
    {
        const QByteArray photo = cameraJpeg(QSize(320, 240), QSize(160, 120), 6);
        QVERIFY(exifThumbnail(photo, QSize(65, 65)).has_value());
        // Every cut inside the EXIF segment and the frame header, then bytes
        // changed at random in the segment: never more than "no thumbnail".
        const qsizetype segment = 4 + ((uchar(photo[4]) << 8) | uchar(photo[5]));
        for (qsizetype cut = 0; cut < segment + 200; ++cut)
            if (const auto found = exifThumbnail(photo.left(cut), QSize(65, 65)))
                QCOMPARE(found->image.size(), QSize(120, 160));
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
