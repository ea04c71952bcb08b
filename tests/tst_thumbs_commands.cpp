// The commands on a cell of the thumbnail list (menu, large view, copy and
// delete), the list's delete confirmation, and hiding it while the main
// window is minimised.
#include "app/Form1.h"
#include "dialogs/Form9.h"
#include "runtime/forms/Twips.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"
#include "support/TestSupport.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/Form2.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using rt::Form;

class ThumbCommandsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;
    Form10 *list = nullptr;

    Form1 &main() { return form1(); }
    QString file(int k) const { return folder->file(QStringLiteral("p%1.bmp").arg(k)); }
    QAction *copy() { return list->menuItem(QStringLiteral("コピー")); }
    QAction *del() { return list->menuItem(QStringLiteral("削除")); }
    QAction *max() { return list->menuItem(QStringLiteral("大画面表示")); }

    // Every test runs twice: with the mouse, and with the keys from a current
    // cell walked to from cell 0, cellNo left where it was.
    bool byKeys()
    {
        QFETCH_GLOBAL(bool, keys);
        return keys;
    }
    void walkTo(int k)
    {
        QTest::keyClick(list->cells, Qt::Key_Home);
        for (int i = 0; i < k; ++i)
            QTest::keyClick(list->cells, Qt::Key_Right);
    }

    // Cell k's menu, opened at the cell, choosing `item` (null: none); by
    // the keys the Delete key stands for "削除" and Shift+F10 for "大画面表示".
    void choose(int k, QAction *item)
    {
        if (byKeys())
            walkTo(k);
        if (byKeys() && item == del())
            return QTest::keyClick(list->cells, Qt::Key_Delete), test::landJobs();
        QPoint at;
        test::whenPopup([&] {
            at = list->popup->pos();
            return item;
        });
        if (!byKeys()) {
            QTest::mousePress(list->cells, Qt::RightButton, {}, test::cellCentre(list, k));
            QTest::mouseRelease(list->cells, Qt::RightButton, {}, test::cellCentre(list, k));
        } else {
            QTest::keyClick(list->cells, item == max() ? Qt::Key_F10 : Qt::Key_Menu,
                            item == max() ? Qt::ShiftModifier : Qt::NoModifier);
        }
        QCOMPARE(at, list->cells->mapToGlobal(test::cellCentre(list, k)));
        test::landJobs();
    }

    // The large view of cell k: a double click on it, or Enter.
    void open(int k)
    {
        if (!byKeys())
            return test::doubleClick(list->cells, test::cellCentre(list, k));
        walkTo(k);
        QTest::keyClick(list->cells, Qt::Key_Return);
        test::landJobs();
    }

    // Whether cell k shows the current cell's dotted frame.
    bool framed(int k)
    {
        const QPoint corner = test::cellCentre(list, k) - QPoint(30, 30);
        const QImage shown = list->cells->grab().toImage();
        return shown.pixel(corner) != shown.pixel(test::cellCentre(list, k));
    }

    // The cell's caption, picture and path, to tell it unchanged.
    QString cellState(int k)
    {
        return QStringLiteral("%1|%2|%3")
            .arg(list->Label1(k).caption())
            .arg(list->Image1(k).picture().handle())
            .arg(list->Text1(k).text());
    }

private slots:
    // The cells' pictures are read here: the commands act alike on any.
    void initTestCase()
    {
        test::prepareApplication();
        ThumbnailQueue::setMaker(test::thumbnailReadHere);
    }
    void cleanupTestCase() { ThumbnailQueue::setMaker({}); }
    void initTestCase_data()
    {
        QTest::addColumn<bool>("keys");
        QTest::newRow("mouse") << false;
        QTest::newRow("keys") << true;
    }

    // Cells 0 to 11 show p1.bmp to p12.bmp (p2 at 120 x 90); cell 12's p13.bmp
    // is no picture.
    void init()
    {
        folder = std::make_unique<test::Folder>();
        for (int k = 1; k <= 12; ++k)
            folder->picture(QStringLiteral("p%1.bmp").arg(k), k == 2 ? QSize(120, 90) : QSize(90, 70));
        folder->text(QStringLiteral("p13.bmp"));
        QVERIFY(test::startIn(folder->path()));
        // These tests start once every thumbnail is in.
        list = test::openThumbnailList();
        QVERIFY(list && list->cells->count() == 13);
        test::takeMessages();
    }

    void cleanup()
    {
        test::unloadAllWindows();
        list = nullptr;
    }

    void pressesRecordTheCellAndTheRightButtonFramesItWhileItsMenuIsOpen()
    {
        bool opened = false;
        test::whenPopup([&] {
            opened = true;
            return nullptr;
        });
        QTest::mouseClick(list->cells, Qt::LeftButton, {}, test::cellCentre(list, 3));
        QTest::qWait(50);
        QVERIFY(!opened);
        QCOMPARE(list->cellNo, 3);
        QCOMPARE(list->Image1(3).borderStyle(), 0);
        test::cancelPending();

        // The press made cell 3 current: its dotted frame shows while the list
        // has the focus, and not while the menu has it.
        QTRY_VERIFY(framed(3));
        int framedWhileOpen = -1;
        test::whenPopup([&]() -> QAction * {
            framedWhileOpen = list->Image1(5).borderStyle() + (framed(5) ? 2 : 0);
            return nullptr;
        });
        QTest::mouseClick(list->cells, Qt::RightButton, {}, test::cellCentre(list, 5));
        QCOMPARE(framedWhileOpen, 1);  // the border, not the dotted frame (2)
        QCOMPARE(list->Image1(5).borderStyle(), 0);
        QTRY_VERIFY(framed(5) && !framed(3));  // once the focus is back from the menu
        main().activateWindow();
        QTRY_VERIFY(!framed(5));
        QCOMPARE(list->cellNo, 5);
        QVERIFY(!Form::ifLoaded<Form4>() && !Form::ifLoaded<Form2>() && !Form::ifLoaded<Form9>());

        // Between the images nothing answers.
        QTest::mouseClick(list->cells, Qt::LeftButton, {}, QPoint(rt::px(1150), rt::px(900)));
        QCOMPARE(list->cellNo, 5);
    }

    // The menu's items in their order, a separator above "大画面表示".
    void cellMenuHoldsItsItemsInOrder()
    {
        QStringList items;
        for (const QAction *item : list->popup->actions())
            items.append(item->isSeparator() ? QStringLiteral("-") : item->text());
        QCOMPARE(items,
                 QStringList({QStringLiteral("コピー"), QStringLiteral("削除"), QStringLiteral("-"),
                              QStringLiteral("大画面表示")}));
    }

    void largeViewShowsTheFullPictureAndIsReplacedByTheNextCell()
    {
        open(1);
        Form4 *view = Form::ifLoaded<Form4>();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->Image1->picture().image().size(), QSize(120, 90));
        QCOMPARE(view->windowTitle(), QStringLiteral("Image"));
        QVERIFY(!QApplication::activeModalWidget());

        open(7);
        QCOMPARE(Form::ifLoaded<Form4>(), view);
        QCOMPARE(view->Image1->picture().image().size(), QSize(90, 70));
        QCOMPARE(list->cellNo, 7);

        choose(1, max());
        QCOMPARE(view->Image1->picture().image().size(), QSize(120, 90));

        // A file gone since the build: the view keeps its picture, and the user is told.
        const quint64 shown = view->Image1->picture().handle();
        QFile::remove(file(5));
        open(4);
        QCOMPARE(view->Image1->picture().handle(), shown);
        QVERIFY(test::takeMessages().value(0).contains(QStringLiteral("p5.bmp")));
    }

    void unreadableCellStillActsOnItsOwnFile()
    {
        QVERIFY(list->Image1(12).picture().isEmpty());
        open(12);
        QVERIFY(test::takeMessages().value(0).contains(QStringLiteral("p13.bmp")));
        choose(12, copy());
        QCOMPARE(Form::ifLoaded<Form9>()->Text1->text(), file(13));
        choose(12, del());
        QVERIFY(Form::ifLoaded<Form2>());
        test::click(Form::ifLoaded<Form2>()->Command1);
        QVERIFY(!QFile::exists(file(13)) && QFile::exists(file(12)));
        QVERIFY(test::takeMessages().isEmpty());
    }

    void copyOpensItsDialogWithoutWaiting()
    {
        choose(2, copy());
        Form9 *dialog = Form::ifLoaded<Form9>();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(dialog->Text1->text(), file(3));
        QCOMPARE(list->Image1(2).borderStyle(), 0);  // the frame goes, the dialog stays

        test::click(dialog->Command1);
        QVERIFY(QFile::exists(file(3) + QStringLiteral("コピー")));
    }

    void deleteConfirmationIsASmallModelessDialog()
    {
        choose(4, del());
        Form2 *dialog = Form::ifLoaded<Form2>();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(dialog->windowFlags() & Qt::Tool);
        QVERIFY(!dialog->Text1->isVisible() && !dialog->Text2->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), dialog->Command1);
        QCOMPARE(dialog->Text2->text(), QStringLiteral("4"));
        QCOMPARE(dialog->Text1->text(), file(5));

        test::click(dialog->Command2);
        QVERIFY(!Form::ifLoaded<Form2>());
        choose(4, del());
        Form::ifLoaded<Form2>()->close();
        QVERIFY(!Form::ifLoaded<Form2>());
        QVERIFY(QFile::exists(file(5)));
        QCOMPARE(list->Label1(4).caption(), QStringLiteral("p5.bmp"));
    }

    void okDeletesTheLastChosenCellAndEmptiesItInPlace()
    {
        main().previewSlots.fill(1, file(10));
        test::landJobs();
        const QString before4 = cellState(4), before8 = cellState(8), before10 = cellState(10);
        const int height = list->height();
        choose(4, del());
        choose(9, del());
        Form2 *dialog = Form::ifLoaded<Form2>();
        QCOMPARE(dialog->Text2->text(), QStringLiteral("9"));
        QCOMPARE(dialog->Text1->text(), file(10));

        test::click(dialog->Command1);
        QVERIFY(!QFile::exists(file(10)));
        QVERIFY(QFile::exists(file(5)));
        QVERIFY(list->Image1(9).picture().isEmpty());
        QVERIFY(list->Label1(9).caption().isEmpty());
        QCOMPARE(list->Text1(9).text(), file(10));
        QVERIFY(list->Image1(9).visible() && list->Label1(9).visible());
        QCOMPARE(cellState(4), before4);
        QCOMPARE(cellState(8), before8);
        QCOMPARE(cellState(10), before10);
        QCOMPARE(list->height(), height);
        QVERIFY(test::listed());
        QVERIFY(main().File1->indexOf(QStringLiteral("p10.bmp")) < 0);
        QCOMPARE(main().previewSlots.path(1), file(10));  // the slots are not touched
        QVERIFY(!main().previewSlots.isFree(1));
        QVERIFY(!Form::ifLoaded<Form2>());
        QVERIFY(test::takeMessages().isEmpty());

        // The emptied cell keeps its path: deleting it again fails, is told,
        // and changes nothing; the dialog stays open.
        const QString emptied = cellState(9);
        choose(9, del());
        test::click(Form::ifLoaded<Form2>()->Command1);
        QVERIFY(test::takeMessages().value(0).contains(QStringLiteral("p10.bmp")));
        QVERIFY(Form::ifLoaded<Form2>() && Form::ifLoaded<Form2>()->isVisible());
        QCOMPARE(cellState(9), emptied);
        QCOMPARE(main().File1->listCount(), 12);
    }

    void okAfterTheListWasClosedDeletesWithoutBuildingItAgain()
    {
        choose(2, del());
        list->unloadWithFrame();
        test::flushDeletes();
        test::click(Form::ifLoaded<Form2>()->Command1);
        QVERIFY(!QFile::exists(file(3)));
        QVERIFY(test::listed());
        QVERIFY(main().File1->indexOf(QStringLiteral("p3.bmp")) < 0);
        QVERIFY(!Form::ifLoaded<Form10>() && !Form::ifLoaded<MDIForm1>());
        QVERIFY(!Form::ifLoaded<Form2>());
        QVERIFY(test::takeMessages().isEmpty());
    }

    void minimisingTheMainWindowHidesTheOpenDialogUntilRestored()
    {
        choose(6, del());
        Form2 *dialog = Form::ifLoaded<Form2>();
        main().showMinimized();
        QVERIFY(main().form2Hidden);
        QCOMPARE(Form::ifLoaded<Form2>(), dialog);
        QVERIFY(!dialog->isVisible());
        main().showNormal();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->Text2->text(), QStringLiteral("6"));
        QCOMPARE(dialog->Text1->text(), file(7));

        // Closed before minimising: it stays closed after the restore.
        dialog->close();
        test::flushDeletes();
        main().showMinimized();
        QVERIFY(!main().form2Hidden);
        main().showNormal();
        QVERIFY(!Form::instance<Form2>().isVisible());
        QVERIFY(QFile::exists(file(7)));
    }
};

QTEST_MAIN(ThumbCommandsTest)
#include "tst_thumbs_commands.moc"
