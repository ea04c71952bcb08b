// Building the thumbnail list from the main window's file list: the grid, the
// file list's selection, unreadable files, pictures too large to decode whole,
// reopening, the thumbnail cache and folders of tens of thousands of files.
// The list shows before its thumbnails are in; these tests check it once they
// all are. The thumbnails cameras embed in a JPEG's EXIF data are used for a
// cell when they cover it and have the picture's shape, turned as the picture
// is; never for a slot.
#include "ExifWriter.h"
#include "app/Form1.h"
#include "runtime/services/Failure.h"
#include "runtime/services/Paths.h"
#include "runtime/forms/Twips.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/Form2.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/ExifThumbnail.h"
#include "thumbnailing/ThumbnailCache.h"
#include "thumbnailing/ThumbnailQueue.h"
#include "runtime/services/Platform.h"

#include <QAccessible>
#include <QBuffer>
#include <QColorSpace>
#include <QColorTransform>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

using rt::Form;

namespace {

QString name(int k) { return QStringLiteral("p%1.bmp").arg(k); }

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

}  // namespace

class ThumbsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;
    Form10 *list = nullptr;

    Form1 &main() { return form1(); }

    // p1.bmp ... pN.bmp, each of its own colour.
    void makePictures(int n)
    {
        for (int k = 1; k <= n; ++k)
            folder->picture(name(k), QSize(90, 70), test::colourOf(k));
    }

    // Opens the list and waits for its thumbnails.
    bool open() { return (list = test::openThumbnailList()); }

private slots:
    void initTestCase() { test::prepareApplication(); }
    void init()
    {
        folder = std::make_unique<test::Folder>();
        QVERIFY(test::startIn(folder->path()));
    }
    void cleanup() { test::unloadAllWindows(); }

    void cellsFillRowsOfSix_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("height");
        QTest::newRow("six") << 6 << 1560;
        QTest::newRow("seven") << 7 << 2895;
        QTest::newRow("thirteen") << 13 << 4230;
    }

    void cellsFillRowsOfSix()
    {
        QFETCH(int, files);
        QFETCH(int, height);
        makePictures(files);
        QVERIFY(open() && list->isVisible());
        MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
        QVERIFY(frame && frame->isVisible());
        QCOMPARE(frame->windowTitle(), QStringLiteral("画像の一覧表示"));
        QCOMPARE(frame->workspace->widget(), list);
        QCOMPARE(list->cells->count(), files);
        QCOMPARE(QSize(rt::twips(list->width()), rt::twips(list->height())), QSize(7650, height));

        for (int k = 0; k < files; ++k) {
            const int left = 120 + 1200 * (k % 6), row = k / 6;
            QCOMPARE(list->Label1(k).caption(), name(k + 1));
            QCOMPARE(list->Text1(k).text(), folder->file(name(k + 1)));
            QCOMPARE(QPoint(list->Label1(k).left(), list->Label1(k).top()), QPoint(left, row ? 225 + 1335 * row : 120));
            QCOMPARE(QPoint(list->Image1(k).left(), list->Image1(k).top()), QPoint(left, 480 + 1335 * row));
            QVERIFY(list->Label1(k).visible() && list->Image1(k).visible() && !list->Text1(k).visible());
            QCOMPARE(list->Image1(k).borderStyle(), 0);
            // A thumbnail at the shown size, stretched to fill it; never the whole picture.
            const rt::Picture &picture = list->Image1(k).picture();
            QCOMPARE(picture.image().size(), QSize(65, 65));
            QCOMPARE(picture.fileSize(), QSize(90, 70));
            QCOMPARE(test::colourAt(picture.image()), test::colourOf(k + 1));
        }
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, list->Label1(files));
        // Drawn where the twips put it.
        const QPoint middle = test::cellCentre(list, files - 1);
        QCOMPARE(QColor(list->cells->grab().toImage().pixel(middle)), test::colourOf(files));
        // The build leaves the file list's last entry selected.
        QCOMPARE(main().File1->listIndex(), files - 1);
        QVERIFY(test::takeMessages().isEmpty());
    }

    // An empty folder keeps the designed cell; unreadable files keep their name
    // and path, a picture too large to decode whole shows in its cell, a folder
    // ending in a separator joins without doubling, and the build goes on.
    void oddFilesAndFoldersKeepTheirCells()
    {
        QVERIFY(open() && list->isVisible());
        QCOMPARE(list->cells->count(), 1);
        QVERIFY(list->Label1(0).caption().isEmpty() && list->Text1(0).text().isEmpty());
        QVERIFY(list->Image1(0).picture().isEmpty());
        QVERIFY(list->Label1(0).visible() && list->Image1(0).visible());
        QCOMPARE(rt::twips(list->height()), 7245);
        QCOMPARE(main().File1->listIndex(), -1);
        Form::ifLoaded<MDIForm1>()->close();
        test::flushDeletes();

        makePictures(6);
        folder->text(name(3));                           // not a picture
        folder->text(name(5), QByteArray("BM\0\0", 4));  // a cut header
        // 30000 x 30000: only a decode at the cell's size fits in memory.
        folder->text(QStringLiteral("wide.jpg"),
                     test::hostile::withJpegSize(test::hostile::jpeg(QSize(64, 48)), QSize(30000, 30000)));
        main().File1->setPath(folder->path() + QDir::separator());
        QVERIFY(open());
        QCOMPARE(list->cells->count(), 7);
        for (int k = 0; k < 6; ++k) {
            QCOMPARE(list->Label1(k).caption(), name(k + 1));
            QCOMPARE(list->Text1(k).text(), folder->path() + QDir::separator() + name(k + 1));
            QVERIFY(list->Image1(k).visible());
            if (k == 2 || k == 4)
                QVERIFY(list->Image1(k).picture().isEmpty());
            else
                QCOMPARE(test::colourAt(list->Image1(k).picture().image()), test::colourOf(k + 1));
        }
        QCOMPARE(list->Label1(6).caption(), QStringLiteral("wide.jpg"));
        QCOMPARE(list->Image1(6).picture().fileSize(), QSize(30000, 30000));
        QCOMPARE(list->Image1(6).picture().image().size(), QSize(65, 65));
        QCOMPARE(rt::twips(list->height()), 2895);
        QCOMPARE(main().File1->listIndex(), 6);
        QVERIFY(test::takeMessages().isEmpty());
    }

    // A loaded list comes forward unchanged after a folder change; closing the
    // frame unloads it and gives back what it held, however often: reopening
    // builds anew, its thumbnails from the shared cache.
    void reopeningTheListFromTheCache()
    {
        makePictures(8);
        int decodes = ThumbnailQueue::decodeCount();
        QVERIFY(open());
        QCOMPARE(ThumbnailQueue::decodeCount() - decodes, 8);
        const quint64 handle = list->Image1(2).picture().handle();
        test::Folder other;
        other.picture(QStringLiteral("x.bmp"));
        main().File1->setPath(other.path());
        MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
        frame->showMinimized();
        QCOMPARE(test::openThumbnailList(), list);
        QVERIFY(list->isVisible() && !frame->isMinimized());
        QCOMPARE(list->cells->count(), 8);
        QCOMPARE(list->Image1(2).picture().handle(), handle);
        QCOMPARE(ThumbnailQueue::decodeCount() - decodes, 8);
        QCOMPARE(main().File1->listIndex(), 0);  // selected by the right-button press, not walked
        Form::ifLoaded<MDIForm1>()->close();
        test::flushDeletes();
        QVERIFY(!Form::ifLoaded<Form10>() && !Form::ifLoaded<MDIForm1>());

        // Built anew from the file list as it is now.
        main().File1->setPath(folder->path());
        QFile::remove(folder->file(name(2)));
        QVERIFY(open() && list->isVisible());
        QCOMPARE(list->cells->count(), 7);
        QCOMPARE(list->Label1(1).caption(), name(3));
        QCOMPARE(test::colourAt(list->Image1(6).picture().image()), test::colourOf(8));
        Form::ifLoaded<MDIForm1>()->close();
        test::flushDeletes();

        // A changed file is read again, and shows its new content.
        folder->picture(name(4), QSize(91, 70), Qt::white);
        QVERIFY(open());
        QCOMPARE(test::colourAt(list->Image1(2).picture().image()), QColor(Qt::white));

        qint64 heapAfterClosing = -1;
        for (int round = 0; round < 10; ++round) {
            if (round > 0)
                QVERIFY(open());
            QVERIFY(ThumbnailCache::shared().bytes() > 0);
            Form::ifLoaded<MDIForm1>()->close();
            test::flushDeletes();
            const QList<QWidget *> widgets = QApplication::allWidgets();
            QVERIFY(
                !std::any_of(widgets.begin(), widgets.end(), [](QWidget *w) { return qobject_cast<CellGrid *>(w); }));
            QCOMPARE(ThumbnailCache::shared().bytes(), 0);
            if (round == 0)
                heapAfterClosing = rt::platform::heapInUse();
        }
        if (heapAfterClosing >= 0)
            QVERIFY(rt::platform::heapInUse() - heapAfterClosing < 256 * 1024);
    }

    // Row: the current cell, a key, the current cell then and the first row
    // the view shows whole: 40 cells (the last row holds four), a view two
    // rows high, cell 20 emptied by the delete dialog.
    void keysWalkTheCellsAndScrollThemIntoView_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("row");
        const auto row = [](const char *name, int from, Qt::Key key, int to, int first) {
            QTest::newRow(name) << from << int(key) << to << first;
        };
        row("Right into the next row", 5, Qt::Key_Right, 6, 0);
        row("Left into the row before", 6, Qt::Key_Left, 5, 0);
        row("Left at the first", 0, Qt::Key_Left, 0, 0);
        row("Right at the last, out of view", 39, Qt::Key_Right, 39, 5);
        row("Down", 2, Qt::Key_Down, 8, 0);
        row("Down past the short last row", 34, Qt::Key_Down, 39, 5);
        row("Up", 9, Qt::Key_Up, 3, 0);
        row("Up in the first row", 3, Qt::Key_Up, 3, 0);
        row("Page Down", 1, Qt::Key_PageDown, 13, 1);
        row("Page Down past the short last row", 29, Qt::Key_PageDown, 39, 5);
        row("Page Up", 38, Qt::Key_PageUp, 26, 3);
        row("Page Up past the first row", 8, Qt::Key_PageUp, 2, 0);
        row("Home", 39, Qt::Key_Home, 0, 0);
        row("End", 0, Qt::Key_End, 39, 5);
        row("onto the emptied cell", 19, Qt::Key_Right, 20, 2);
        row("from the emptied cell", 20, Qt::Key_Down, 26, 3);
        row("a letter", 7, Qt::Key_A, 7, 0);
    }

    void keysWalkTheCellsAndScrollThemIntoView()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        QFETCH(int, row);
        // Files that are no pictures: their cells are walked as any others,
        // and no decoder starts for them (a Windows process each under Wine).
        for (int k = 1; k <= 40; ++k)
            folder->text(name(k));
        QVERIFY(open());
        list->cellNo = 20;
        list->menuItem(QStringLiteral("削除"))->trigger();
        test::click(Form::ifLoaded<Form2>()->Command1);
        MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
        frame->resize(frame->width(), frame->height() - frame->workspace->viewport()->height() + 200);
        frame->activateWindow();
        QTRY_VERIFY(list->cells->hasFocus());
        list->cells->setCurrent(from);
        QTest::keyClick(list->cells, Qt::Key(key));
        QCOMPARE(list->cells->current(), to);
        // Images begin 32 pixels into their rows of 89.
        QCOMPARE((frame->workspace->verticalScrollBar()->value() + 56) / 89, row);
        // Screen readers find the cell named by its file, and focused.
        QAccessibleInterface *cells = QAccessible::queryAccessibleInterface(list->cells);
        QCOMPARE(cells->childCount(), 40);
        QCOMPARE(cells->focusChild(), cells->child(to));
        QCOMPARE(cells->indexOfChild(cells->focusChild()), to);
        QCOMPARE(cells->child(to)->text(QAccessible::Name), to == 20 ? QString() : name(to + 1));
        QVERIFY(cells->child(to)->state().focused && !cells->child(to ^ 1)->state().focused);
    }

    void tensOfThousandsOfFilesBuildWithoutOverflow()
    {
#ifdef Q_OS_WIN
        // Each file operation here crosses to Wine's server: its 32770 files
        // take longer than the five minutes a case may have.
        if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
            QSKIP("too slow under Wine; the counting is the same code everywhere");
#endif
        // More cells than a 16-bit number counts; most are empty files. With
        // no cache: writing a failure mark for each is not what this is about.
        const QByteArray cacheHome = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(folder->text(QStringLiteral("not a folder"))));
        const int files = 32770, last = files - 1;
        for (int k = 0; k < last; ++k)
            QFile(folder->file(QStringLiteral("f%1.gif").arg(k, 5, 10, QLatin1Char('0')))).open(QIODevice::WriteOnly);
        folder->picture(QStringLiteral("z.bmp"), QSize(90, 70), Qt::blue);

        // Timers run and the progress shows while the build goes on.
        int progressSeen = 0;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] {
            const MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
            if (frame && frame->progress->isVisible() && frame->progress->maximum() == files)
                progressSeen = qMax(progressSeen, frame->progress->value());
        });
        sampler.start(5);
        QVERIFY(open());
        sampler.stop();
        QVERIFY(progressSeen > 0 && progressSeen <= files);

        QCOMPARE(list->cells->count(), files);
        QCOMPARE(list->Label1(last).caption(), QStringLiteral("z.bmp"));
        QCOMPARE(QPoint(list->Image1(last).left(), list->Image1(last).top()),
                 QPoint(120 + 1200 * (last % 6), 480 + 1335 * (last / 6)));
        QCOMPARE(rt::twips(list->height()), 1560 + 1335 * (last / 6));
        QVERIFY(!list->Image1(last).picture().isEmpty());
        QCOMPARE(main().File1->listIndex(), last);

        // Its delete dialog names the cell exactly, and "OK" empties that cell.
        QTest::mouseClick(list->cells, Qt::LeftButton, {}, test::cellCentre(list, last));
        QCOMPARE(list->cellNo, last);
        list->menuItem(QStringLiteral("削除"))->trigger();
        Form2 *dialog = Form::ifLoaded<Form2>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->Text2->text(), QStringLiteral("32769"));
        test::click(dialog->Command1);
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("z.bmp"))));
        QVERIFY(list->Image1(last).picture().isEmpty() && list->Label1(last).caption().isEmpty());
        QCOMPARE(list->Label1(last - 1).caption(), QStringLiteral("f32768.gif"));
        QVERIFY(test::takeMessages().isEmpty());
        qputenv("XDG_CACHE_HOME", cacheHome);
    }

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
        QTest::newRow("just covers the cell")
            << QSize(650, 650) << QSize(65, 65) << 1 << kThumbLeft << kThumbRight << QColorSpace();
        QTest::newRow("bars for another shape")
            << QSize(640, 360) << camera << 1 << kPictureLeft << kPictureRight << QColorSpace();
        QTest::newRow("3 % off") << photo << QSize(160, 124) << 1 << kPictureLeft << kPictureRight << QColorSpace();
        QTest::newRow("too small for the cell")
            << photo << QSize(64, 48) << 1 << kPictureLeft << kPictureRight << QColorSpace();
        QTest::newRow("2 mirrored") << photo << camera << 2 << kThumbRight << kThumbLeft << QColorSpace();
        QTest::newRow("3 half a turn") << photo << camera << 3 << kThumbRight << kThumbLeft << QColorSpace();
        QTest::newRow("6 quarter turn right") << photo << camera << 6 << kThumbLeft << kThumbLeft << QColorSpace();
        QTest::newRow("8 quarter turn left") << photo << camera << 8 << kThumbRight << kThumbRight << QColorSpace();
        // Shown in sRGB as the photo is: its values read in its own profile, here linear light.
        const QColorSpace linear(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Linear);
        const QColorTransform toScreen = linear.transformationToColorSpace(QColorSpace::SRgb);
        QTest::newRow("photo with a profile")
            << photo << camera << 1 << toScreen.map(kThumbLeft) << toScreen.map(kThumbRight) << linear;
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
        QVERIFY(open());
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
        // Every cut inside the EXIF segment and the frame header: never more
        // than "no thumbnail". Bytes changed anywhere are fuzz_exif's.
        const qsizetype segment = 4 + ((uchar(photo[4]) << 8) | uchar(photo[5]));
        for (qsizetype cut = 0; cut < segment + 200; ++cut)
            if (const auto found = exifThumbnail(photo.left(cut), QSize(65, 65)))
                QCOMPARE(found->image.size(), QSize(120, 160));
    }
};

QTEST_MAIN(ThumbsTest)
#include "tst_thumbs.moc"
