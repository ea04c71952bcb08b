// The preview slots: every event of every slot through the slot's own widgets,
// the slot menu, the copy and delete confirmations, the large view and drops.
// The four slots are wired to their handlers by one table; a slip there shows
// up as the wrong slot answering, or none.
#include "app/Form1.h"
#include "dialogs/Form8.h"
#include "dialogs/Form9.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "runtime/forms/controls/PictureBox.h"
#include "runtime/pictures/Picture.h"
#include "runtime/decoding/Decode.h"
#include "runtime/services/FileJobs.h"
#include "runtime/services/Program.h"
#include "slots/Form4.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QTimer>
#include <QTest>
#include <QWheelEvent>

#include <memory>

using rt::Form;

enum class SlotEvent { Click, BadgeClick, Press, DblClick, Drop };
Q_DECLARE_METATYPE(SlotEvent)

namespace {

const QPoint kClosed(-1, -1);

// Holds every file job on a file of one name, as a slow disk would, until
// released (at the latest when the gate goes).
class Gate
{
public:
    explicit Gate(const QString &name)
    {
        rt::jobs::setGate([open = open_, name](const QString &path) {
            if (QFileInfo(path).fileName() == name) {
                open->acquire();
                open->release();
            }
        });
    }
    ~Gate()
    {
        release();
        rt::jobs::setGate({});
    }
    void release()
    {
        if (!open_->available())
            open_->release();
    }

private:
    std::shared_ptr<QSemaphore> open_ = std::make_shared<QSemaphore>();
};

// Whether a 10 ms timer keeps firing: the interface thread waits on nothing.
bool answering()
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    QTest::qWait(100);
    return ticks >= 3;
}

// Opens the large view on a picture of `size` and takes the steps, separated
// by ", ": "drag X Y" (a left drag by X, Y from 250, 200 in the client area),
// "double-click" where it ended, "wheel X Y" or "shift-wheel X Y" (the
// wheel's angle), "keys K...", "resize W H" and "new" (another picture).
// Mouse events go where the hand is: to the picture when it lies under the
// pointer, else to the background.
void drive(QSize size, const QString &steps)
{
    Form4 &view = Form::instance<Form4>();
    view.showModeless();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::gray);
    view.Image1->setPicture(rt::Picture(image, size));
    QPoint pointer(250, 200);
    for (const QString &step : steps.split(", ")) {
        const QStringList w = step.split(' ');
        const QPoint amount(w.value(1).toInt(), w.value(2).toInt());
        QWidget *under = view.Image1->geometry().contains(pointer) ? view.Image1 : view.client();
        const auto at = [&](QPoint p) { return under->mapFrom(view.client(), p); };
        if (w[0] == "drag") {
            QTest::mousePress(under, Qt::LeftButton, {}, at(pointer));
            QTest::mouseMove(under, at(pointer + amount / 2));
            QTest::mouseMove(under, at(pointer += amount));
            QCOMPARE(view.cursor().shape(), Qt::ClosedHandCursor);
            QTest::mouseRelease(under, Qt::LeftButton, {}, at(pointer));
            QCOMPARE(view.cursor().shape(), Qt::ArrowCursor);
        } else if (w[0] == "double-click") {
            QTest::mouseDClick(under, Qt::LeftButton, {}, at(pointer));
            QTest::mouseRelease(under, Qt::LeftButton, {}, at(pointer));
        } else if (w[0].endsWith("wheel")) {
            QWheelEvent wheel(at(pointer), under->mapToGlobal(QPointF(at(pointer))), {}, amount, Qt::NoButton,
                              w[0] == "shift-wheel" ? Qt::ShiftModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(under, &wheel);
        } else if (w[0] == "keys") {
            for (const QString &key : w.mid(1))
                QTest::keyClick(&view, QKeySequence(key)[0].key());
        } else if (w[0] == "resize") {
            view.resize(amount.x(), amount.y());
            QTRY_COMPARE(view.client()->size(), QSize(amount.x(), amount.y()));
        } else {
            view.Image1->setPicture(rt::Picture(image, size));
        }
    }
}

}  // namespace

class SlotCommandsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;

    Form1 &main() { return form1(); }

    void fill(int k, const QString &name) { fillWith(k, folder->file(name)); }
    void fillWith(int k, const QString &path)
    {
        main().previewSlots.fill(k, path);
        test::landJobs();
    }
    // Slot k's own picture, 30 + 10k pixels wide.
    QString file(int k) { return folder->file(QStringLiteral("slot %1.bmp").arg(k)); }
    QString dropped() { return folder->file(QStringLiteral("dropped.jpg")); }

    // Chooses `item` in slot k's menu and "OK" in its confirmation, without
    // waiting for the work it starts.
    template <class Dialog>
    void confirmInSlotMenu(int k, QAction *item)
    {
        test::whenModal(
            [](QWidget *modal) { QTest::mouseClick(qobject_cast<Dialog *>(modal)->Command1, Qt::LeftButton); });
        test::whenPopup([item] { return item; });
        QTest::mousePress(main().previewSlots[k].image, Qt::RightButton, {}, QPoint(40, 40));
        QTest::mouseRelease(main().previewSlots[k].image, Qt::RightButton, {}, QPoint(40, 40));
    }

private slots:
    void initTestCase() { test::prepareApplication(); }

    void init()
    {
        folder = std::make_unique<test::Folder>();
        folder->picture(QStringLiteral("a.bmp"), QSize(40, 30), Qt::red);
        folder->picture(QStringLiteral("b.jpg"), QSize(900, 700), Qt::blue);
        folder->picture(QStringLiteral("c.bmp"), QSize(20, 20), Qt::green);
        for (int k = 1; k <= 4; ++k)
            folder->picture(QStringLiteral("slot %1.bmp").arg(k), QSize(30 + 10 * k, 30));
        folder->picture(QStringLiteral("dropped.jpg"), QSize(90, 30));
        folder->text(QStringLiteral("notes.bmp"));
        QVERIFY(test::startIn(folder->path()));
    }

    void cleanup() { test::unloadAllWindows(); }

    void eachEventActsOnItsOwnSlotOnly_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<SlotEvent>("event");
        const std::pair<const char *, SlotEvent> events[] = {{"click", SlotEvent::Click},
                                                             {"badge click", SlotEvent::BadgeClick},
                                                             {"press", SlotEvent::Press},
                                                             {"double click", SlotEvent::DblClick},
                                                             {"drop", SlotEvent::Drop}};
        for (int k = 1; k <= 4; ++k)
            for (const auto &[name, event] : events)
                QTest::addRow("slot %d %s", k, name) << k << event;
    }

    void eachEventActsOnItsOwnSlotOnly()
    {
        QFETCH(int, k);
        QFETCH(SlotEvent, event);
        Form1 &m = main();
        for (int j = 1; j <= 4; ++j)
            fillWith(j, file(j));
        m.Text1->setText(QStringLiteral("typed"));
        const PreviewSlot &slot = m.previewSlots[k];
        quint64 handles[5] = {};
        for (int j = 1; j <= 4; ++j)
            handles[j] = m.previewSlots[j].image->picture().handle();

        // What the path box, slotNo and slot k hold afterwards, unless the event says otherwise.
        QString text = file(k), path = file(k);
        int slotNo = k;
        switch (event) {
        case SlotEvent::Click:
            test::click(slot.image);
            break;
        case SlotEvent::BadgeClick:
            test::click(slot.badge);
            slotNo = 0;  // the badge takes no press
            break;
        case SlotEvent::Press: {
            bool opened = false;
            test::whenPopup([&] {
                opened = true;
                return nullptr;
            });
            QTest::mousePress(slot.image, Qt::RightButton, {}, QPoint(60, 60));
            QTest::mouseRelease(slot.image, Qt::RightButton, {}, QPoint(60, 60));
            QVERIFY(opened);
            QCOMPARE(Form::instance<Form8>().Text1->text(), QString::number(k));
            QCOMPARE(Form::instance<Form9>().Text1->text(), file(k));
            text = QStringLiteral("typed");
            break;
        }
        case SlotEvent::DblClick: {
            test::doubleClick(slot.image);  // its first click selects the slot
            Form4 *view = Form::ifLoaded<Form4>();
            QVERIFY(view && view->isVisible());
            QCOMPARE(view->windowTitle(), file(k));
            QCOMPARE(view->Image1->picture().fileSize(), QSize(30 + 10 * k, 30));
            break;
        }
        case SlotEvent::Drop:
            // Offscreen, a drop event has no source: the slot's drop is raised
            // with the list as the real gesture raises it.
            QVERIFY(test::selectFile(QStringLiteral("dropped.jpg")));
            emit slot.image->DragDrop(m.File1, QPoint(10, 10));
            test::landJobs();
            text = path = dropped();
            slotNo = 0;
            break;
        }

        QCOMPARE(m.Text1->text(), text);
        QCOMPARE(m.previewSlots.slotNo, slotNo);
        QCOMPARE(m.previewSlots.path(k), path);
        QCOMPARE(slot.image->picture().handle() == handles[k], event != SlotEvent::Drop);
        for (int j = 1; j <= 4; ++j) {
            if (j != k) {
                QCOMPARE(m.previewSlots.path(j), file(j));
                QCOMPARE(m.previewSlots[j].image->picture().handle(), handles[j]);
            }
        }
        QVERIFY(test::takeMessages().isEmpty());
    }

    void aBadgeSelectsItsSlotWithoutPressingIt()
    {
        Form1 &m = main();
        fill(1, QStringLiteral("slot 1.bmp"));
        m.Text1->setText(QStringLiteral("typed"));
        bool opened = false;
        test::whenPopup([&] {
            opened = true;
            return nullptr;
        });
        QTest::mousePress(m.Image3, Qt::MiddleButton, {}, QPoint(60, 60));
        QTest::mouseRelease(m.Image3, Qt::MiddleButton, {}, QPoint(60, 60));
        QCOMPARE(m.previewSlots.slotNo, 3);
        QCOMPARE(m.Text1->text(), QStringLiteral("typed"));  // only a left click selects
        test::click(m.Picture1);
        QCOMPARE(m.Text1->text(), file(1));
        test::click(m.Picture2);  // a free slot: the path box empties
        QCOMPARE(m.Text1->text(), QString());
        // A right press on the badge is no press on the slot.
        QTest::mouseClick(m.Picture2, Qt::RightButton, {}, QPoint(5, 5));
        QTest::qWait(50);
        QVERIFY(!opened);  // only a right press on the slot's picture opens the menu
        QCOMPARE(m.previewSlots.slotNo, 3);
    }

    void slotImagesTakeOnlyDragsFromTheFileList()
    {
        QMimeData fromList, fromElsewhere;
        fromList.setData(QLatin1String(rt::kFileListDrag), QByteArray());
        fromElsewhere.setUrls({QUrl::fromLocalFile(dropped())});
        for (int k = 1; k <= 4; ++k) {
            rt::ImageBox *image = main().previewSlots[k].image;
            QVERIFY(image->acceptDrops());
            QDragEnterEvent ours(QPoint(10, 10), Qt::CopyAction, &fromList, Qt::LeftButton, {});
            QCoreApplication::sendEvent(image, &ours);
            QVERIFY(ours.isAccepted());
            QDragEnterEvent foreign(QPoint(10, 10), Qt::CopyAction, &fromElsewhere, Qt::LeftButton, {});
            foreign.accept();
            QCoreApplication::sendEvent(image, &foreign);
            QVERIFY(!foreign.isAccepted());
        }
        QVERIFY(!main().Picture1->acceptDrops() && !main().Text1->acceptDrops());
    }
    void clearEmptiesOnlyThePressedSlotAndAllClearEmptiesAll()
    {
        fill(1, QStringLiteral("a.bmp"));
        fill(2, QStringLiteral("b.jpg"));
        fill(3, QStringLiteral("c.bmp"));
        main().previewSlots.select(1);
        test::chooseInSlotMenu(2, main().clear);
        QVERIFY(main().previewSlots.isFree(2));
        QVERIFY(main().Label2->text().isEmpty());
        QVERIFY(main().Text1->text().isEmpty());
        QVERIFY(!main().previewSlots.isFree(1) && !main().previewSlots.isFree(3));
        fill(4, QStringLiteral("c.bmp"));
        test::chooseInSlotMenu(4, main().clear);  // the last slot too
        QVERIFY(main().previewSlots.isFree(4));

        main().previewSlots.select(3);
        test::chooseInSlotMenu(1, main().allclear);
        for (int k = 1; k <= 4; ++k)
            QVERIFY(main().previewSlots.isFree(k) && main().previewSlots.path(k).isEmpty());
        QVERIFY(main().Text1->text().isEmpty());
        QCOMPARE(main().previewSlots.slotNo, 1);
    }

    void maxTogglesItsCheckMark()
    {
        test::chooseInSlotMenu(1, main().max);
        QVERIFY(main().max->isChecked());
        // A quick second right press arrives as a double click: still a press.
        test::whenPopup([this] { return main().max; });
        QTest::mouseDClick(main().Image1, Qt::RightButton, {}, QPoint(80, 80));
        QTest::mouseRelease(main().Image1, Qt::RightButton, {}, QPoint(80, 80));
        QVERIFY(!main().max->isChecked());
    }

    // It starts on Cancel with no default button, so Enter cancels; Escape
    // is bound to no button; the close box cancels too.
    void deleteConfirmationTouchesNothingUnlessOkIsChosen()
    {
        fill(3, QStringLiteral("a.bmp"));
        test::whenModal([](QWidget *modal) {
            auto *dialog = qobject_cast<Form8 *>(modal);
            QVERIFY(dialog);
            QCOMPARE(QApplication::focusWidget(), dialog->Command2);
            QVERIFY(!dialog->Command1->isDefault());
            QTest::keyClick(dialog->Command2, Qt::Key_Escape);
            QVERIFY(modal->isVisible());
            QTest::keyClick(dialog->Command2, Qt::Key_Return);
        });
        test::chooseInSlotMenu(3, main().del);
        QVERIFY(!Form::ifLoaded<Form8>());
        test::whenModal([](QWidget *modal) { modal->close(); });
        test::chooseInSlotMenu(3, main().del);
        QVERIFY(QFile::exists(folder->file(QStringLiteral("a.bmp"))));
        QVERIFY(!main().previewSlots.isFree(3));
    }

    void deleteEmptiesOnlyItsSlotAndRefreshesTheList()
    {
        fill(1, QStringLiteral("a.bmp"));
        fill(3, QStringLiteral("a.bmp"));
        fill(4, QStringLiteral("c.bmp"));
        test::answer(&Form8::Command1);
        test::chooseInSlotMenu(3, main().del);
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("a.bmp"))));
        QVERIFY(main().previewSlots.isFree(3));
        QVERIFY(main().Label3->text().isEmpty());
        QVERIFY(main().Text1->text().isEmpty());
        QVERIFY(!main().previewSlots.isFree(1));  // same file, other slot: kept
        QCOMPARE(main().previewSlots.path(1), folder->file(QStringLiteral("a.bmp")));
        QVERIFY(!main().previewSlots.isFree(4));
        QVERIFY(test::listed());
        QVERIFY(main().File1->indexOf(QStringLiteral("a.bmp")) < 0);
        QVERIFY(test::takeMessages().isEmpty());
    }

    // A failed delete keeps the slot (tst_hostile_window); an empty slot has
    // nothing to delete, and the user is told so.
    void deletingAnEmptySlotIsTold()
    {
        test::answer(&Form8::Command1);
        test::chooseInSlotMenu(2, main().del);
        QCOMPARE(test::takeReasons(), QList<rt::Reason>{rt::Reason::NoFileGiven});
    }

    void copyLandsBesideTheFileAndCancelDoesNothing()
    {
        fill(2, QStringLiteral("b.jpg"));
        test::whenModal([](QWidget *modal) {
            auto *dialog = qobject_cast<Form9 *>(modal);
            QVERIFY(dialog);
            QCOMPARE(QApplication::focusWidget(), dialog->Command1);
            QCOMPARE(dialog->client()->mapToGlobal(QPoint(0, 0)), QPoint(226, 149));
            QTest::keyClick(dialog->Command1, Qt::Key_Return);
        });
        test::chooseInSlotMenu(2, main().copi);
        const QString copy = folder->file(QStringLiteral("b.jpgコピー"));
        QVERIFY(QFile::exists(copy));
        QCOMPARE(QFileInfo(copy).size(), QFileInfo(folder->file(QStringLiteral("b.jpg"))).size());
        QVERIFY(test::listed());
        QVERIFY(main().File1->indexOf(QStringLiteral("b.jpgコピー")) < 0);
        QVERIFY(test::takeMessages().isEmpty());

        // Cancelled: nothing happens, not even the failure a copy would meet now.
        const QStringList files = QDir(folder->path()).entryList(QDir::Files);
        test::answer(&Form9::Command2);
        test::chooseInSlotMenu(2, main().copi);
        QVERIFY(test::takeMessages().isEmpty());
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files), files);
    }

    void largeViewOpensFilledSlotsAtFullSizeAndIsReused()
    {
        fill(1, QStringLiteral("b.jpg"));
        fill(2, QStringLiteral("a.bmp"));
        test::doubleClick(main().Image3);  // free slot, not maximised: nothing
        QVERIFY(!Form::ifLoaded<Form4>());
        test::doubleClick(main().Picture1);  // badges open nothing
        QVERIFY(!Form::ifLoaded<Form4>());

        test::doubleClick(main().Image1, QPoint(80, 80));
        Form4 *view = Form::ifLoaded<Form4>();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->windowTitle(), folder->file(QStringLiteral("b.jpg")));
        QCOMPARE(view->Image1->picture().image().size(), QSize(900, 700));
        QCOMPARE(view->Image1->geometry(), QRect(0, 0, 900, 700));

        test::doubleClick(main().Image2, QPoint(80, 80));
        QCOMPARE(Form::ifLoaded<Form4>(), view);
        QCOMPARE(view->windowTitle(), folder->file(QStringLiteral("a.bmp")));
        QCOMPARE(view->Image1->picture().image().size(), QSize(40, 30));

        // Gone from disk: the view keeps what it had, and the user is told.
        QFile::remove(folder->file(QStringLiteral("b.jpg")));
        test::doubleClick(main().Image1, QPoint(80, 80));
        QCOMPARE(view->windowTitle(), folder->file(QStringLiteral("a.bmp")));
        QCOMPARE(test::takeMessages().size(), 1);

        test::doubleClick(view->client(), QPoint(300, 300));  // the background beside the picture
        QVERIFY(!Form::ifLoaded<Form4>());
    }

    void maximisedLargeViewOpensEvenForAFreeSlot()
    {
        fill(1, QStringLiteral("a.bmp"));
        main().max->trigger();
        test::doubleClick(main().Image4, QPoint(80, 80));
        Form4 *view = Form::ifLoaded<Form4>();
        QVERIFY(view);
        QVERIFY(view->windowState() & Qt::WindowMaximized);
        QVERIFY(view->Image1->picture().isEmpty());
        QCOMPARE(view->windowTitle(), QString());

        main().max->trigger();
        test::doubleClick(main().Image1, QPoint(80, 80));
        QVERIFY(view->windowState() & Qt::WindowMaximized);  // an open view keeps its state
        QCOMPARE(view->windowTitle(), folder->file(QStringLiteral("a.bmp")));
        test::doubleClick(view->Image1, QPoint(5, 5));
        QVERIFY(!Form::ifLoaded<Form4>());
    }

    // A picture larger than the view pans within its own edges, smaller ones
    // never move: the picture point left at the view's top-left (497 x 395).
    // A drag is no click: it never counts toward a double click, on the
    // picture or beside it (the drag distance is 10). Resized, the view keeps
    // its top-left point within the edges; a new picture starts at its own.
    void largeViewPansWithinThePicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QPoint>("offset");
        for (const char *how : {"drag -600 -700", "wheel 0 -120", "shift-wheel 0 -120", "keys End Right PgDown"})
            QTest::addRow("smaller, %s", how) << QSize(300, 200) << how << QPoint();
        QTest::newRow("equal") << QSize(497, 395) << "drag -600 -700" << QPoint();
        const std::pair<const char *, QPoint> rows[] = {{"drag -100 -50", {100, 50}},
                                                        {"drag -600 -700", {503, 405}},
                                                        {"drag 100 100", {}},
                                                        {"wheel 0 -120", {0, 60}},
                                                        {"shift-wheel 0 -120", {60, 0}},
                                                        {"wheel -120 0", {60, 0}},
                                                        {"keys Right Right Down", {40, 20}},
                                                        {"keys PgDown", {0, 395}},
                                                        {"keys PgDown PgDown", {0, 405}},
                                                        {"keys PgDown PgUp", {}},
                                                        {"keys Right End", {20, 405}},
                                                        {"keys End Home", {}},
                                                        {"drag -10 0, double-click", kClosed},
                                                        {"drag -11 0, double-click", {11, 0}},
                                                        {"drag -100 -50, resize 800 700", {100, 50}},
                                                        {"drag -300 -200, resize 800 700", {200, 100}},
                                                        {"drag -300 -200, resize 800 700, resize 497 395", {200, 100}},
                                                        {"drag -300 -200, new", {}}};
        for (const auto &[how, offset] : rows)
            QTest::addRow("larger, %s", how) << QSize(1000, 800) << how << offset;
        QTest::newRow("wider only") << QSize(1000, 200) << "drag -600 -700" << QPoint(503, 0);
        QTest::newRow("taller only") << QSize(200, 1000) << "drag -600 -700" << QPoint(0, 605);
        QTest::newRow("beside it") << QSize(1000, 200) << "drag -40 0, double-click" << QPoint(40, 0);
    }

    void largeViewPansWithinThePicture()
    {
        QFETCH(QSize, size);
        QFETCH(QString, gesture);
        QFETCH(QPoint, offset);
        drive(size, gesture);
        const Form4 *view = Form::ifLoaded<Form4>();
        QCOMPARE(view ? -view->Image1->pos() : kClosed, offset);
    }

    // Which slot a good drop fills is in eachEventActsOnItsOwnSlotOnly.
    void badDropsChangeNothingAndSayNothing()
    {
        Form1 &m = main();
        fill(4, QStringLiteral("a.bmp"));
        const quint64 before = m.Image4->picture().handle();
        m.Text1->setText(QStringLiteral("typed"));
        emit m.Image4->DragDrop(m.Text1, QPoint());  // a source without Path
        emit m.Image4->DragDrop(nullptr, QPoint());
        m.File1->setListIndex(-1);
        emit m.Image4->DragDrop(m.File1, QPoint());  // nothing selected
        folder->text(QStringLiteral("d.bmp"));
        m.File1->Refresh();
        QVERIFY(test::listed());
        QVERIFY(test::selectFile(QStringLiteral("d.bmp")));
        emit m.Image4->DragDrop(m.File1, QPoint());  // no picture
        test::landJobs();
        QCOMPARE(m.Image4->picture().handle(), before);
        QCOMPARE(m.Text1->text(), QStringLiteral("typed"));
        QVERIFY(test::takeMessages().isEmpty());
    }

    // Loads held as a slow disk holds them: the window answers meanwhile, and
    // the slots end as the requests, one after the other, would leave them.
    // Steps: "dbl NAME" (the file list's double click), "drop K NAME",
    // "allclear"; the held file's load answers after every other one.
    void heldLoadsLandInTheOrderAsked_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("shown");  // the files of slots 1 and 2 afterwards
        QTest::addColumn<QString>("pathBox");
        const QString a = QStringLiteral("a.bmp"), c = QStringLiteral("c.bmp");
        QTest::newRow("one load") << a << "dbl a.bmp" << QStringList{a, {}} << a;
        QTest::newRow("double clicks faster than loads") << a << "dbl a.bmp, dbl c.bmp" << QStringList{a, c} << c;
        QTest::newRow("the newer drop wins") << a << "drop 1 a.bmp, drop 1 c.bmp" << QStringList{c, {}} << c;
        QTest::newRow("cleared while loading") << a << "dbl a.bmp, allclear" << QStringList{{}, {}} << QString();
        QTest::newRow("a load that fails") << "notes.bmp"
                                           << "dbl notes.bmp" << QStringList{{}, {}} << QString();
    }

    void heldLoadsLandInTheOrderAsked()
    {
        QFETCH(QString, held);
        QFETCH(QString, steps);
        QFETCH(QStringList, shown);
        QFETCH(QString, pathBox);
        Form1 &m = main();
        Gate gate(held);
        for (const QString &step : steps.split(", ")) {
            const QStringList w = step.split(' ');
            QVERIFY(test::selectFile(w.last()) || w[0] == "allclear");
            if (w[0] == "dbl")
                emit m.File1->DblClick();
            else if (w[0] == "drop")
                emit m.previewSlots[w[1].toInt()].image->DragDrop(m.File1, QPoint());
            else
                m.allclear->trigger();
        }
        QTRY_COMPARE(rt::jobs::pending(), 1);  // only the held one
        QCoreApplication::sendPostedEvents();
        QVERIFY(answering());
        QVERIFY(m.previewSlots.path(1) != folder->file(held) && m.previewSlots.path(2) != folder->file(held));
        gate.release();
        test::landJobs();
        for (int k = 1; k <= 2; ++k)
            QCOMPARE(m.previewSlots.path(k), shown[k - 1].isEmpty() ? QString() : folder->file(shown[k - 1]));
        QCOMPARE(m.Text1->text(), pathBox.isEmpty() ? QString() : folder->file(pathBox));
        // A failure is told as the loader words it: the file and the reason.
        const auto failure = rt::trap([&] { rt::loadPicture(folder->file(held)); });
        QCOMPARE(test::takeMessages(), failure ? QStringList{failure->message()} : QStringList());
    }

    void aHeldLargeViewShowsItIsBusyUntilThePictureIsIn()
    {
        fill(1, QStringLiteral("b.jpg"));
        Gate gate(QStringLiteral("b.jpg"));
        QTest::mouseClick(main().Image1, Qt::LeftButton);
        QTest::mouseDClick(main().Image1, Qt::LeftButton);
        QTest::mouseRelease(main().Image1, Qt::LeftButton);
        Form4 *view = Form::ifLoaded<Form4>();
        QVERIFY(view && view->isVisible());
        QVERIFY(answering());
        QCOMPARE(view->client()->cursor().shape(), Qt::BusyCursor);
        QCOMPARE(view->windowTitle(), QStringLiteral("Image"));
        gate.release();
        test::landJobs();
        QCOMPARE(view->windowTitle(), folder->file(QStringLiteral("b.jpg")));
        QCOMPARE(view->Image1->picture().image().size(), QSize(900, 700));
        QCOMPARE(view->client()->cursor().shape(), Qt::ArrowCursor);
    }

    void aCopyHeldPastASecondShowsItsProgressAndHoldsBackItsFile()
    {
        fill(2, QStringLiteral("b.jpg"));
        Gate gate(QStringLiteral("b.jpg"));
        confirmInSlotMenu<Form9>(2, main().copi);
        QProgressDialog *progress = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((progress = main().findChild<QProgressDialog *>()) && progress->isVisible(), 3000);
        QVERIFY(progress->labelText().contains(QStringLiteral("b.jpg")));
        QVERIFY(answering());
        // Its deletion meanwhile waits for the copy to end.
        confirmInSlotMenu<Form8>(2, main().del);
        QCOMPARE(rt::jobs::pending(), 1);
        gate.release();
        test::landJobs();
        QVERIFY(!main().findChild<QProgressDialog *>());
        QVERIFY(QFile::exists(folder->file(QStringLiteral("b.jpgコピー"))));
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("b.jpg"))) && main().previewSlots.isFree(2));
        QVERIFY(test::takeMessages().isEmpty());
    }

    // A deletion that answers late empties its slot only if nothing has
    // changed the slot since "OK".
    void aLateDeletionSparesASlotFilledMeanwhile()
    {
        fill(1, QStringLiteral("a.bmp"));
        Gate gate(QStringLiteral("a.bmp"));
        confirmInSlotMenu<Form8>(1, main().del);
        QVERIFY(test::selectFile(QStringLiteral("c.bmp")));
        emit main().Image1->DragDrop(main().File1, QPoint());
        QTRY_COMPARE(main().previewSlots.path(1), folder->file(QStringLiteral("c.bmp")));
        gate.release();
        test::landJobs();
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("a.bmp"))));
        QCOMPARE(main().previewSlots.path(1), folder->file(QStringLiteral("c.bmp")));
        QVERIFY(test::takeMessages().isEmpty());
    }

    // Last: in this process no job runs after the end.
    void theEndLeavesAHeldLoadBehindAtOnce()
    {
        Gate gate(QStringLiteral("a.bmp"));
        QVERIFY(test::selectFile(QStringLiteral("a.bmp")));
        emit main().File1->DblClick();
        QElapsedTimer clock;
        clock.start();
        rt::endProgram();
        QVERIFY(clock.elapsed() < 500);
        gate.release();
        test::landJobs();
        QVERIFY(main().previewSlots.isFree(1));  // its late answer lands nowhere
    }
};

QTEST_MAIN(SlotCommandsTest)
#include "tst_slotcommands.moc"
