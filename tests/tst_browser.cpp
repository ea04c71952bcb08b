// The file panes, the type filter and opening files into the preview slots,
// driven through the main window's own widgets.
#include "app/Form1.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/services/Platform.h"
#include "runtime/forms/controls/DriveListBox.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

class BrowserTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;

    Form1 &main() { return form1(); }

    QStringList listed()
    {
        QStringList names;
        for (int i = 0; i < main().File1->listCount(); ++i)
            names << main().File1->item(i)->text();
        return names;
    }

private slots:
    void initTestCase() { test::prepareApplication(); }

    void init()
    {
        folder = std::make_unique<test::Folder>();
        folder->picture(QStringLiteral("img10.jpg"), QSize(400, 300), Qt::blue);
        folder->picture(QStringLiteral("img2.jpg"), QSize(300, 400), Qt::green);
        folder->picture(QStringLiteral("PHOTO.JPG"), QSize(64, 64), Qt::yellow);
        folder->picture(QStringLiteral("海 の 絵.bmp"), QSize(50, 20), Qt::red);
        folder->picture(QStringLiteral(".hidden.bmp"));
        folder->picture(QStringLiteral("icon.ico"), QSize(32, 32));
        folder->text(QStringLiteral("broken.bmp"));
        QDir(folder->path()).mkdir(QStringLiteral("sub"));
        QVERIFY(test::startIn(folder->path()));
    }

    void cleanup()
    {
        test::cancelPending();
        main().unload();
        test::flushDeletes();
    }

    void listsPicturesInNaturalOrderWithoutHiddenFiles()
    {
        QCOMPARE(listed(), QStringList({QStringLiteral("broken.bmp"), QStringLiteral("icon.ico"),
                                        QStringLiteral("img2.jpg"), QStringLiteral("img10.jpg"),
                                        QStringLiteral("PHOTO.JPG"), QStringLiteral("海 の 絵.bmp")}));
        QCOMPARE(main().File1->listIndex(), -1);
    }

    void openingAFolderSelectsItsFirstFileOrNothing()
    {
        const QString sub = folder->file(QStringLiteral("sub"));
        test::Folder empty;
        QFile::copy(folder->file(QStringLiteral("img2.jpg")), sub + QStringLiteral("/b.jpg"));
        QFile::copy(folder->file(QStringLiteral("img2.jpg")), sub + QStringLiteral("/a.jpg"));

        main().Dir1->setPath(sub);
        QCOMPARE(QApplication::focusWidget(), main().File1);
        QTRY_COMPARE(main().File1->fileName(), QStringLiteral("a.jpg"));
        QCOMPARE(main().File1->listIndex(), 0);

        main().Dir1->setPath(empty.path());
        QTest::qWait(20);
        QCOMPARE(main().File1->listCount(), 0);
        QCOMPARE(main().File1->fileName(), QString());
    }

    // The drives of the picture folder and of the program (under Wine: C: and
    // Z:, where the Unix root is mapped) are offered, spelt as driveOf() does.
    void theDriveListOffersTheDrivesInUse()
    {
        for (const QString &path : {folder->path(), QCoreApplication::applicationDirPath()}) {
            const QString drive = rt::platform::driveOf(path);
            QVERIFY2(rt::platform::drives().contains(drive) && main().Drive1->findText(drive) >= 0, qPrintable(drive));
        }
    }

    void aDriveThatCannotBeEnteredLeavesThePanes()
    {
        main().Drive1->setDrive(folder->file(QStringLiteral("no-such-volume")));
        emit main().Drive1->Change();
        QCOMPARE(main().Dir1->path(), folder->path());
        QCOMPARE(main().File1->path(), folder->path());
        QVERIFY(test::takeMessages().isEmpty());
    }

    // Each item, chosen from the menu after another one, is the only one
    // checked, stays checked when chosen again and holds across folders.
    void filterChoiceChecksOneItemAndHoldsAcrossFolders_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("ALL") << "ALL"
                             << QStringList{"broken.bmp", "icon.ico", "img2.jpg", "img10.jpg", "PHOTO.JPG", "海 の 絵.bmp"};
        QTest::newRow("bmp") << "bmp" << QStringList{"broken.bmp", "海 の 絵.bmp"};
        QTest::newRow("jpg") << "jpg" << QStringList{"img2.jpg", "img10.jpg", "PHOTO.JPG"};
        QTest::newRow("gif") << "gif" << QStringList();
        QTest::newRow("ico") << "ico" << QStringList{"icon.ico"};
    }

    void filterChoiceChecksOneItemAndHoldsAcrossFolders()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, names);
        Form1 &m = main();
        const QList<QAction *> items = {m.all, m.bmp, m.jpg, m.gif, m.ico};
        const auto chosen = std::find_if(items.begin(), items.end(), [&](QAction *a) { return a->text() == item; });
        QVERIFY(chosen != items.end());
        (chosen + 1 == items.end() ? items.first() : chosen[1])->trigger();  // another one first
        for (int times = 0; times < 2; ++times) {
            test::whenPopup([&] { return *chosen; });
            test::click(m.File1->viewport(), Qt::RightButton, QPoint(5, 5));
            for (QAction *each : items)
                QCOMPARE(each->isChecked(), each == *chosen);
            QCOMPARE(listed(), names);
            m.Dir1->setPath(folder->file(QStringLiteral("sub")));
            m.Dir1->setPath(folder->path());
            QCOMPARE(listed(), names);
        }
    }

    void onlyTheRightButtonOpensTheListMenu()
    {
        bool opened = false;
        test::whenPopup([&] {
            opened = true;
            return nullptr;
        });
        test::click(main().File1->viewport(), Qt::LeftButton, QPoint(5, 5));
        test::click(main().File1->viewport(), Qt::MiddleButton, QPoint(5, 5));
        QTest::qWait(50);
        QVERIFY(!opened);
        QCOMPARE(main().File1->fileName(), QStringLiteral("broken.bmp"));  // the press selected it
        test::click(main().File1->viewport(), Qt::RightButton, QPoint(5, 5));
        QVERIFY(opened);
    }

    void doubleClicksFillSlotsInReadingOrder()
    {
        Form1 &m = main();
        const QStringList names = {QStringLiteral("img2.jpg"), QStringLiteral("img10.jpg"),
                                   QStringLiteral("海 の 絵.bmp"), QStringLiteral("icon.ico")};
        for (int k = 1; k <= 4; ++k) {
            test::openFile(names[k - 1]);
            const QString path = folder->file(names[k - 1]);
            QCOMPARE(m.previewSlots.path(k), path);
            QCOMPARE(m.Text1->text(), path);
            QVERIFY(!m.previewSlots.isFree(k));
            for (int later = k + 1; later <= 4; ++later)
                QVERIFY(m.previewSlots.isFree(later));
        }
        // A slot holds a small decode, stretched to fill its square.
        const QImage shown = m.Image1->picture().image();
        QVERIFY(shown.width() <= 2 * 105 && shown.height() <= 2 * 140);
        QCOMPARE(m.Image1->picture().fileSize(), QSize(300, 400));
        QCOMPARE(m.Image1->grab().toImage().pixelColor(52, 52).green() > 200, true);

        // All four filled: a double click changes nothing and says nothing.
        const quint64 before = m.Image1->picture().handle();
        m.Text1->setText(QStringLiteral("typed"));
        test::openFile(QStringLiteral("PHOTO.JPG"));
        QCOMPARE(m.Text1->text(), QStringLiteral("typed"));
        QCOMPARE(m.Image1->picture().handle(), before);
        QVERIFY(test::takeMessages().isEmpty());

        // A cleared slot 2 is the next one filled.
        m.previewSlots.clear(2);
        test::openFile(QStringLiteral("PHOTO.JPG"));
        QCOMPARE(m.previewSlots.path(2), folder->file(QStringLiteral("PHOTO.JPG")));
    }

    void aFileThatCannotBeOpenedChangesNothingAndIsTold()
    {
        Form1 &m = main();
        test::openFile(QStringLiteral("img2.jpg"));
        m.Text1->setText(QStringLiteral("typed"));
        test::openFile(QStringLiteral("broken.bmp"));
        QVERIFY(m.previewSlots.isFree(2));
        QVERIFY(m.previewSlots.path(2).isEmpty());
        QCOMPARE(m.Text1->text(), QStringLiteral("typed"));
        const QStringList told = test::takeMessages();
        QCOMPARE(told.size(), 1);
        QVERIFY(told.first().contains(QStringLiteral("broken.bmp")));

        // Gone since the list was read.
        QFile::remove(folder->file(QStringLiteral("icon.ico")));
        test::openFile(QStringLiteral("icon.ico"));
        QVERIFY(m.previewSlots.isFree(2));
        QVERIFY(test::takeMessages().value(0).contains(QStringLiteral("icon.ico")));

        // No file selected: the folder itself is no picture.
        m.File1->setListIndex(-1);
        emit m.File1->DblClick();
        test::landJobs();
        QVERIFY(m.previewSlots.isFree(2));
        QCOMPARE(test::takeMessages().size(), 1);
    }
};

QTEST_MAIN(BrowserTest)
#include "tst_browser.moc"
