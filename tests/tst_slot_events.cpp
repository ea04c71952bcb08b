// Every event of every preview slot, through the slot's own widgets. The four
// slots are wired to their handlers by one table; a slip there shows up here
// as the wrong slot answering, or none.
#include "app/Form1.h"
#include "dialogs/Form8.h"
#include "dialogs/Form9.h"
#include "runtime/controls/FileListBox.h"
#include "runtime/controls/ImageBox.h"
#include "runtime/controls/PictureBox.h"
#include "slots/Form4.h"
#include "support/TestSupport.h"

#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

using rt::Form;

enum class SlotEvent { Click, BadgeClick, Press, DblClick, Drop };
Q_DECLARE_METATYPE(SlotEvent)

class SlotEventsTest : public QObject
{
    Q_OBJECT
    test::Folder folder;

    Form1 &main() { return form1(); }
    // Slot k starts with its own picture, 30 + 10k pixels wide.
    QString file(int k) { return folder.file(QStringLiteral("slot %1.bmp").arg(k)); }
    QString dropped() { return folder.file(QStringLiteral("dropped.jpg")); }

private slots:
    void initTestCase()
    {
        test::prepareApplication();
        for (int k = 1; k <= 4; ++k)
            folder.picture(QStringLiteral("slot %1.bmp").arg(k), QSize(30 + 10 * k, 30));
        folder.picture(QStringLiteral("dropped.jpg"), QSize(90, 30));
    }

    void init()
    {
        QVERIFY(test::startIn(folder.path()));
        for (int k = 1; k <= 4; ++k)
            main().previewSlots.fill(k, file(k));
        main().Text1->setText(QStringLiteral("typed"));
    }

    void cleanup() { test::unloadAllWindows(); }

    void eachEventActsOnItsOwnSlotOnly_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<SlotEvent>("event");
        const std::pair<const char *, SlotEvent> events[] = {
            {"click", SlotEvent::Click}, {"badge click", SlotEvent::BadgeClick}, {"press", SlotEvent::Press},
            {"double click", SlotEvent::DblClick}, {"drop", SlotEvent::Drop}};
        for (int k = 1; k <= 4; ++k)
            for (const auto &[name, event] : events)
                QTest::addRow("slot %d %s", k, name) << k << event;
    }

    void eachEventActsOnItsOwnSlotOnly()
    {
        QFETCH(int, k);
        QFETCH(SlotEvent, event);
        Form1 &m = main();
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
            m.File1->setCurrentItem(m.File1->findItems(QStringLiteral("dropped.jpg"), Qt::MatchExactly).value(0));
            emit slot.image->DragDrop(m.File1, QPoint(10, 10));
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
        m.previewSlots.clear(2);
        m.Text1->setText(QStringLiteral("typed"));
        QTest::mousePress(m.Image3, Qt::MiddleButton, {}, QPoint(60, 60));
        QTest::mouseRelease(m.Image3, Qt::MiddleButton, {}, QPoint(60, 60));
        QCOMPARE(m.previewSlots.slotNo, 3);
        QCOMPARE(m.Text1->text(), QStringLiteral("typed"));  // only a left click selects
        test::click(m.Picture1);
        QCOMPARE(m.Text1->text(), file(1));
        test::click(m.Picture2);  // a free slot: the path box empties
        QCOMPARE(m.Text1->text(), QString());
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
};

QTEST_MAIN(SlotEventsTest)
#include "tst_slot_events.moc"
