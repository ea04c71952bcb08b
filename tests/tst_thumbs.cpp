// Building the thumbnail list from the main window's file list: the grid, the
// file list's selection, unreadable files, pictures too large to decode whole,
// reopening, the thumbnail cache and folders of tens of thousands of files.
// The list shows before its thumbnails are in; these tests check it once they
// all are.
#include "app/Form1.h"
#include "runtime/Failure.h"
#include "runtime/Paths.h"
#include "runtime/Twips.h"
#include "runtime/controls/FileListBox.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/Form2.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

using rt::Form;

namespace {

QColor colourOf(int k)
{
    return QColor(QColor::fromHsv((k * 47) % 360, 255, 220).rgb());
}

QColor middleOf(const rt::Picture &picture)
{
    return QColor(picture.image().pixel(32, 32));
}

} // namespace

class ThumbsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;

    Form1 &main() { return form1(); }

    // p1.bmp ... pN.bmp, each of its own colour.
    void makePictures(int n)
    {
        for (int k = 1; k <= n; ++k)
            folder->picture(QStringLiteral("p%1.bmp").arg(k), QSize(90, 70), colourOf(k));
        main().File1->Refresh();
    }

    void closeFrame()
    {
        Form::ifLoaded<MDIForm1>()->close();
        test::flushDeletes();
    }

private slots:
    void initTestCase() { test::prepareApplication(); }

    void init()
    {
        folder = std::make_unique<test::Folder>();
        QVERIFY(test::startIn(folder->path()));
    }

    void cleanup()
    {
        test::unloadAllWindows();
    }

    void cellsFillRowsOfSix_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("lastLabelTop");
        QTest::addColumn<int>("lastImageTop");
        QTest::newRow("one") << 1 << 1560 << 120 << 480;
        QTest::newRow("six") << 6 << 1560 << 120 << 480;
        QTest::newRow("seven") << 7 << 2895 << 1560 << 1815;
        QTest::newRow("thirteen") << 13 << 4230 << 2895 << 3150;
    }

    void cellsFillRowsOfSix()
    {
        QFETCH(int, files);
        QFETCH(int, height);
        QFETCH(int, lastLabelTop);
        QFETCH(int, lastImageTop);
        makePictures(files);
        Form10 *list = test::openThumbnailList();
        QVERIFY(list && list->isVisible());
        MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
        QVERIFY(frame && frame->isVisible());
        QCOMPARE(frame->windowTitle(), QStringLiteral("画像の一覧表示"));
        QCOMPARE(frame->workspace->widget(), list);
        QCOMPARE(list->fileCount, files);
        QCOMPARE(list->cells->count(), files);
        QCOMPARE(rt::twips(list->height()), height);
        QCOMPARE(rt::twips(list->width()), 7650);

        for (int k = 0; k < files; ++k) {
            const QString name = QStringLiteral("p%1.bmp").arg(k + 1);
            const int column = k % 6, row = k / 6;
            QCOMPARE(list->Label1(k).caption(), name);
            QCOMPARE(list->Text1(k).text(), folder->file(name));
            QCOMPARE(list->Label1(k).left(), 120 + 1200 * column);
            QCOMPARE(list->Image1(k).left(), 120 + 1200 * column);
            QCOMPARE(list->Label1(k).top(), row == 0 ? 120 : 225 + 1335 * row);
            QCOMPARE(list->Image1(k).top(), 480 + 1335 * row);
            QVERIFY(list->Label1(k).visible() && list->Image1(k).visible() && !list->Text1(k).visible());
            QCOMPARE(list->Image1(k).borderStyle(), 0);
            // A thumbnail at the shown size, stretched to fill it; never the whole picture.
            const rt::Picture &picture = list->Image1(k).picture();
            QCOMPARE(picture.image().size(), QSize(65, 65));
            QCOMPARE(picture.fileSize(), QSize(90, 70));
            QCOMPARE(middleOf(picture), colourOf(k + 1));
        }
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, list->Label1(files));
        const int last = files - 1;
        QCOMPARE(list->Label1(last).top(), lastLabelTop);
        QCOMPARE(list->Image1(last).top(), lastImageTop);
        // Drawn where the twips put it.
        const QPoint middle(rt::px(list->Image1(last).left()) + 32, rt::px(list->Image1(last).top()) + 32);
        QCOMPARE(QColor(list->cells->grab().toImage().pixel(middle)), colourOf(files));
        // The build leaves the file list's last entry selected.
        QCOMPARE(main().File1->listIndex(), files - 1);
        QCOMPARE(main().File1->fileName(), QStringLiteral("p%1.bmp").arg(files));
        QVERIFY(test::takeMessages().isEmpty());
    }

    void emptyFolderKeepsTheDesignedCell()
    {
        Form10 *list = test::openThumbnailList();
        QVERIFY(list && list->isVisible());
        QCOMPARE(list->cells->count(), 1);
        QVERIFY(list->Label1(0).caption().isEmpty());
        QVERIFY(list->Image1(0).picture().isEmpty());
        QVERIFY(list->Text1(0).text().isEmpty());
        QVERIFY(list->Label1(0).visible() && list->Image1(0).visible());
        QCOMPARE(rt::twips(list->height()), 7245);
        QCOMPARE(main().File1->listIndex(), -1);
        QVERIFY(test::takeMessages().isEmpty());
    }

    void unreadableFileKeepsItsNameAndPathAndTheBuildGoesOn()
    {
        makePictures(6);
        folder->text(QStringLiteral("p3.bmp"));                          // not a picture
        folder->text(QStringLiteral("p5.bmp"), QByteArray("BM\0\0", 4));  // a cut header
        main().File1->Refresh();
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        QCOMPARE(list->cells->count(), 6);
        for (int k : {2, 4}) {
            QCOMPARE(list->Label1(k).caption(), QStringLiteral("p%1.bmp").arg(k + 1));
            QCOMPARE(list->Text1(k).text(), folder->file(QStringLiteral("p%1.bmp").arg(k + 1)));
            QVERIFY(list->Image1(k).picture().isEmpty());
            QVERIFY(list->Image1(k).visible());
        }
        for (int k : {0, 1, 3, 5})
            QCOMPARE(middleOf(list->Image1(k).picture()), colourOf(k + 1));
        QCOMPARE(rt::twips(list->height()), 1560);
        QCOMPARE(main().File1->listIndex(), 5);
        QVERIFY(test::takeMessages().isEmpty());
    }

    void aPictureTooLargeToDecodeWholeShowsInItsCell()
    {
        // 30000 x 30000: only a decode at the cell's size fits in memory.
        folder->text(QStringLiteral("wide.jpg"),
                     test::hostile::withJpegSize(test::hostile::jpeg(QSize(64, 48)), QSize(30000, 30000)));
        makePictures(1);
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        QCOMPARE(list->Label1(1).caption(), QStringLiteral("wide.jpg"));
        const rt::Picture &picture = list->Image1(1).picture();
        QVERIFY(!picture.isEmpty());
        QCOMPARE(picture.fileSize(), QSize(30000, 30000));
        QCOMPARE(picture.image().size(), QSize(65, 65));
        QVERIFY(test::takeMessages().isEmpty());
    }

    void folderEndingInASeparatorJoinsWithoutDoubling()
    {
        makePictures(2);
        main().File1->setPath(folder->path() + QDir::separator());
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        QCOMPARE(list->Text1(1).text(), folder->path() + QDir::separator() + QStringLiteral("p2.bmp"));
        QVERIFY(!list->Image1(1).picture().isEmpty());
        const QString root = QDir::toNativeSeparators(QDir::rootPath());
        QCOMPARE(rt::fullPath(root, QStringLiteral("a.jpg")), root + QStringLiteral("a.jpg"));
    }

    void loadedListComesForwardUnchangedAfterAFolderChange()
    {
        makePictures(3);
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        const int decodes = ThumbnailQueue::decodeCount();
        const quint64 handle = list->Image1(2).picture().handle();

        test::Folder other;
        for (const char *name : {"x.bmp", "y.bmp", "z.bmp"})
            other.picture(QString::fromLatin1(name));
        main().File1->setPath(other.path());
        MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
        frame->showMinimized();
        QCOMPARE(test::openThumbnailList(), list);
        QVERIFY(list->isVisible() && !frame->isMinimized());
        QCOMPARE(list->cells->count(), 3);
        QCOMPARE(list->Label1(2).caption(), QStringLiteral("p3.bmp"));
        QCOMPARE(list->Image1(2).picture().handle(), handle);
        QCOMPARE(ThumbnailQueue::decodeCount(), decodes);
        QCOMPARE(main().File1->listIndex(), 0);  // selected by the right-button press, not walked
    }

    void closingTheFrameUnloadsTheListAndReopeningBuildsAnewFromTheCache()
    {
        makePictures(8);
        int decodes = ThumbnailQueue::decodeCount();
        QVERIFY(test::openThumbnailList());
        QCOMPARE(ThumbnailQueue::decodeCount() - decodes, 8);
        closeFrame();
        QVERIFY(!Form::ifLoaded<Form10>() && !Form::ifLoaded<MDIForm1>());

        // Built anew from the file list as it is now, without decoding again.
        QFile::remove(folder->file(QStringLiteral("p2.bmp")));
        main().File1->Refresh();
        decodes = ThumbnailQueue::decodeCount();
        Form10 *list = test::openThumbnailList();
        QVERIFY(list && list->isVisible());
        QCOMPARE(ThumbnailQueue::decodeCount() - decodes, 0);
        QCOMPARE(list->cells->count(), 7);
        QCOMPARE(list->Label1(1).caption(), QStringLiteral("p3.bmp"));
        QCOMPARE(middleOf(list->Image1(6).picture()), colourOf(8));
        closeFrame();

        // A changed file is read again, and shows its new content.
        folder->picture(QStringLiteral("p4.bmp"), QSize(91, 70), Qt::white);
        decodes = ThumbnailQueue::decodeCount();
        list = test::openThumbnailList();
        QVERIFY(list);
        QCOMPARE(ThumbnailQueue::decodeCount() - decodes, 1);
        QCOMPARE(middleOf(list->Image1(2).picture()), QColor(Qt::white));
    }

    void tensOfThousandsOfFilesBuildWithoutOverflow()
    {
        // More cells than a 16-bit number counts; most are empty files.
        const int files = 32770;
        for (int k = 0; k < files - 1; ++k)
            QFile(folder->file(QStringLiteral("f%1.gif").arg(k, 5, 10, QLatin1Char('0')))).open(QIODevice::WriteOnly);
        folder->picture(QStringLiteral("z.bmp"), QSize(90, 70), Qt::blue);
        main().File1->Refresh();

        // Timers run and the progress shows while the build goes on.
        int progressSeen = 0;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] {
            if (MDIForm1 *frame = Form::ifLoaded<MDIForm1>()) {
                if (frame->progress->isVisible() && frame->progress->maximum() == files)
                    progressSeen = qMax(progressSeen, frame->progress->value());
            }
        });
        sampler.start(5);
        Form10 *list = test::openThumbnailList();
        sampler.stop();
        QVERIFY(list);
        QVERIFY(progressSeen > 0 && progressSeen <= files);
        QVERIFY(!Form::ifLoaded<MDIForm1>()->progress->isVisible());

        const int last = files - 1;
        QCOMPARE(list->cells->count(), files);
        QCOMPARE(list->Label1(last).caption(), QStringLiteral("z.bmp"));
        QCOMPARE(list->Image1(last).left(), 120 + 1200 * (last % 6));
        QCOMPARE(list->Image1(last).top(), 480 + 1335 * (last / 6));
        QCOMPARE(rt::twips(list->height()), 1560 + 1335 * (last / 6));
        QVERIFY(!list->Image1(last).picture().isEmpty());
        QCOMPARE(main().File1->listIndex(), last);

        // Its delete dialog names the cell exactly, and "OK" empties that cell.
        const QRect image(rt::px(list->Image1(last).left()), rt::px(list->Image1(last).top()), 65, 65);
        QTest::mouseClick(list->cells, Qt::LeftButton, {}, image.center());
        QCOMPARE(list->cellNo, last);
        list->del->trigger();
        Form2 *dialog = Form::ifLoaded<Form2>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->Text2->text(), QStringLiteral("32769"));
        test::click(dialog->Command1);
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("z.bmp"))));
        QVERIFY(list->Image1(last).picture().isEmpty());
        QVERIFY(list->Label1(last).caption().isEmpty());
        QCOMPARE(list->Label1(last - 1).caption(), QStringLiteral("f32768.gif"));
        QVERIFY(test::takeMessages().isEmpty());
    }
};

QTEST_MAIN(ThumbsTest)
#include "tst_thumbs.moc"
