// The main window and the About window as a user first meets them; the file
// panes, the type filter and opening files into the preview slots, driven
// through the main window's own widgets.
#include "about/Form7.h"
#include "app/Form1.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/services/Platform.h"
#include "runtime/forms/controls/DriveListBox.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "runtime/forms/controls/PictureBox.h"
#include "runtime/forms/controls/PaneWait.h"
#include "runtime/pictures/PictureFormats.h"
#include "runtime/services/FileJobs.h"
#include "runtime/services/FolderListing.h"
#include "runtime/services/NaturalOrder.h"
#include "support/TestSupport.h"
#include "thumbs/Form10.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QMutex>
#include <QScopeGuard>
#include <QTimer>
#include <QWaitCondition>

#include <algorithm>

// Holds the listing of one folder on its worker: each call that may wait on
// the folder waits for a pass (5 s at most, so that a listing run on the
// interface thread fails the test instead of hanging it).
class Gate
{
public:
    explicit Gate(int limitMs = 5000)
    {
        state_->limitMs = limitMs;
        // A worker may still be inside when the gate goes: the state stays with it.
        rt::listing::setGate([state = state_](const QString &folder) { state->pass(folder); });
    }
    ~Gate()
    {
        open();
        rt::listing::setGate({});
    }
    void hold(const QString &folder)
    {
        const QMutexLocker lock(&state_->mutex);
        state_->held = QDir::fromNativeSeparators(folder), state_->passes = 0;
    }
    void let(int passes)
    {
        const QMutexLocker lock(&state_->mutex);
        state_->passes += passes;
        state_->woken.wakeAll();
    }
    void open()
    {
        hold(QString());
        let(0);
    }

private:
    struct State
    {
        void pass(const QString &folder)
        {
            QMutexLocker lock(&mutex);
            QDeadlineTimer deadline(limitMs);
            while (QDir::fromNativeSeparators(folder) == held && passes == 0 && !deadline.hasExpired())
                woken.wait(&mutex, deadline);
            passes = qMax(0, passes - 1);
        }
        int limitMs = 5000;
        QMutex mutex;
        QWaitCondition woken;
        QString held;
        int passes = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Counts the ticks of a 10 ms timer: the interface thread answers while they come.
struct Ticks
{
    QTimer timer;
    int count = 0;
    Ticks()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { ++count; });
        timer.start(10);
    }
};

class BrowserTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;

    Form1 &main() { return form1(); }

    static QStringList listedIn(rt::FileListBox *list)
    {
        QStringList names;
        for (int i = 0; i < list->listCount(); ++i)
            names << list->entry(i);
        return names;
    }
    QStringList listed() { return listedIn(main().File1); }

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
        folder->text(QStringLiteral("notes.txt"));
        folder->text(QStringLiteral("e.png"));
        QDir(folder->path()).mkdir(QStringLiteral("sub"));
        // A link's kind is not in the listing: it shows, then leaves as a folder.
        if (!test::kLinksAreFiles)
            QFile::link(folder->file(QStringLiteral("sub")), folder->file(QStringLiteral("album.jpg")));
        QVERIFY(test::startIn(folder->path()));
    }

    void cleanup()
    {
        test::cancelPending();
        main().unload();
        test::flushDeletes();
    }

    // In the folder it was started in, only pictures, with ALL checked.
    void listsPicturesInNaturalOrderWithoutHiddenFiles()
    {
        QStringList patterns = rt::filePatterns();  // every format's, the last first
        std::reverse(patterns.begin(), patterns.end());
        QCOMPARE(main().File1->pattern(), patterns.join(QLatin1Char(';')));
        QCOMPARE(main().File1->path(), folder->path());
        QCOMPARE(main().Dir1->path(), folder->path());
        QVERIFY(main().all->isChecked());
        for (QAction *other : main().typeItem + QList<QAction *>{main().max})
            QVERIFY(!other->isChecked());
        QCOMPARE(
            listed(),
            QStringList({QStringLiteral("broken.bmp"), QStringLiteral("icon.ico"), QStringLiteral("img2.jpg"),
                         QStringLiteral("img10.jpg"), QStringLiteral("PHOTO.JPG"), QStringLiteral("海 の 絵.bmp")}));
        QCOMPARE(main().File1->listIndex(), -1);
    }

    void openingAFolderSelectsItsFirstFileOrNothing()
    {
        const QString sub = folder->file(QStringLiteral("sub"));
        test::Folder empty;
        QFile::copy(folder->file(QStringLiteral("img2.jpg")), sub + QStringLiteral("/b.jpg"));
        QFile::copy(folder->file(QStringLiteral("img2.jpg")), sub + QStringLiteral("/a.jpg"));

        // The Down press comes while the listing is held: it selects once the list is whole.
        Gate gate;
        gate.hold(sub);
        gate.let(1);  // the folder answers that it can be entered, then waits
        main().Dir1->setPath(sub);
        QTRY_COMPARE(QApplication::focusWidget(), main().File1);
        QTest::qWait(50);
        gate.open();
        QTRY_COMPARE(main().File1->fileName(), QStringLiteral("a.jpg"));
        QCOMPARE(main().File1->listIndex(), 0);

        main().Dir1->setPath(empty.path());
        QVERIFY(test::listed());
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
        QVERIFY(test::listed());
        QCOMPARE(main().Dir1->path(), folder->path());
        QCOMPARE(main().File1->path(), folder->path());
        QVERIFY(test::takeMessages().isEmpty());
    }

#ifndef Q_OS_WIN
    // A mount that never answers (a folder the mount table names, held at
    // the gate): the drive list shows it at once and greys it; choosing it
    // leaves the panes on their folder, busy and then saying that it does
    // not answer, while another folder still opens.
    void aDeadMountIsListedMarkedAndDoesNotHoldThePanes()
    {
        test::Folder share;  // the table spells its space as \040
        const QDir dead(share.file(QStringLiteral("far share")));
        QVERIFY(dead.mkpath(QStringLiteral(".")));
        QFile table(folder->file(QStringLiteral("mountinfo")));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("27 1 254:0 / / rw - ext4 /dev/vda rw\n40 27 0:50 / "
                    + QFile::encodeName(dead.path()).replace(" ", "\\040") + " rw - nfs4 far:/share rw\n");
        table.close();
        main().unload();
        test::flushDeletes();
        rt::platform::useMountTable(table.fileName());
        const auto restore = qScopeGuard([] { rt::platform::useMountTable(QString()); });
        Gate gate(20000);
        gate.hold(dead.path());
        Ticks ticks;
        QVERIFY(test::startIn(folder->path()));
        QVERIFY(main().Drive1->findText(dead.path()) >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(!main().Drive1->isAnswering(dead.path()), 5000);
        QVERIFY(main().Drive1->isAnswering(QStringLiteral("/")));

        main().Drive1->setDrive(dead.path());
        emit main().Drive1->Change();
        QTRY_COMPARE(main().Dir1->accessibleDescription(), rt::PaneWait::kBusyText);
        QCOMPARE(main().Dir1->viewport()->cursor().shape(), Qt::BusyCursor);
        QTRY_COMPARE_WITH_TIMEOUT(main().Dir1->accessibleDescription(), rt::PaneWait::kSilentText, 5000);
        QCOMPARE(main().Dir1->path(), folder->path());
        QVERIFY(ticks.count > 300);

        main().Dir1->setPath(folder->file(QStringLiteral("sub")));
        QTRY_COMPARE(main().File1->path(), folder->file(QStringLiteral("sub")));
        QVERIFY(test::listed());
        QCOMPARE(main().Dir1->accessibleDescription(), QString());
    }
#endif

    // Each item, chosen from the menu after another one, is the only one
    // checked, stays checked when chosen again and holds across folders.
    void filterChoiceChecksOneItemAndHoldsAcrossFolders_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("ALL") << "ALL" << QStringList{"broken.bmp", "icon.ico",  "img2.jpg",
                                                     "img10.jpg",  "PHOTO.JPG", "海 の 絵.bmp"};
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
        const QList<QAction *> items = QList<QAction *>{m.all} + m.typeItem;
        const auto chosen = std::find_if(items.begin(), items.end(), [&](QAction *a) { return a->text() == item; });
        QVERIFY(chosen != items.end());
        (chosen + 1 == items.end() ? items.first() : chosen[1])->trigger();  // another one first
        QVERIFY(test::listed());
        for (int times = 0; times < 2; ++times) {
            test::whenPopup([&] { return *chosen; });
            test::click(m.File1->viewport(), Qt::RightButton, QPoint(5, 5));
            QVERIFY(test::listed());
            for (QAction *each : items)
                QCOMPARE(each->isChecked(), each == *chosen);
            QCOMPARE(listed(), names);
            m.Dir1->setPath(folder->file(QStringLiteral("sub")));
            QTRY_COMPARE(m.File1->path(), folder->file(QStringLiteral("sub")));
            m.Dir1->setPath(folder->path());
            QTRY_COMPARE(m.File1->path(), folder->path());
            QVERIFY(test::listed());
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

    // A folder whose listing is held: the window answers, names come in
    // batches as the folder gives them, and what a folder the list left
    // brings later is not shown.
    void aHeldListingFillsInBatchesAndALeftOneIsDropped()
    {
        test::Folder big;
        QStringList all;
        for (int i = 0; i < 600; ++i)
            big.text(all.emplace_back(QStringLiteral("p%1.jpg").arg(i)));
        rt::sortNaturally(all);
        Gate gate;
        gate.hold(big.path());
        Ticks ticks;
        rt::FileListBox *list = main().File1;
        list->setPath(big.path());
        QTRY_COMPARE(list->viewport()->cursor().shape(), Qt::BusyCursor);
        QCOMPARE(list->accessibleDescription(), rt::PaneWait::kBusyText);
        QVERIFY(ticks.count >= 15);
        QCOMPARE(list->listCount(), 0);
        gate.let(2);  // opened, and one step read
        QTRY_VERIFY(list->listCount() > 0);
        QTest::qWait(50);
        QVERIFY(list->listCount() < all.size() && list->isListing());
        list->setListIndex(list->listCount() - 1);
        const QString chosen = list->fileName();
        gate.let(1000);
        QTRY_VERIFY(!list->isListing());
        QCOMPARE(listedIn(list), all);
        QCOMPARE(list->fileName(), chosen);  // the names that came went around it
        QCOMPARE(list->viewport()->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(list->accessibleDescription(), QString());

        gate.hold(big.path());
        list->setPath(big.path());
        list->setPath(folder->file(QStringLiteral("sub")));  // left before it answered
        QTRY_VERIFY(!list->isListing());
        gate.open();
        QTRY_COMPARE(rt::jobs::pending(), 0);
        QTest::qWait(50);
        QCOMPARE(list->listCount(), 0);
    }

    // A hundred thousand files: the file pane and the thumbnail list hold them
    // in order, as the folder pane holds a thousand folders, the ends are
    // reached by key, and what the panes keep is names, not an object each.
    void aHugeFolderIsListedInOrderAsNames()
    {
        test::Folder big;
        QDir dir(big.path());
        const int files = test::kManyNames, folders = test::kManyNames / 100;
        const auto name = [](int i) { return QStringLiteral("n%1.jpg").arg(i); };
        for (int i = 1; i <= files; ++i)
            QFile(big.file(name(i))).open(QIODevice::WriteOnly);
        for (int i = 1; i <= folders; ++i)
            dir.mkdir(QStringLiteral("d%1").arg(i));
        const auto removeAll = qScopeGuard([&] {  // one by one: far quicker than a recursive removal
            for (int i = 1; i <= files; ++i)
                dir.remove(name(i));
        });
        const qint64 heapBefore = rt::platform::heapInUse();
        main().Dir1->setPath(big.path());
        QTRY_VERIFY_WITH_TIMEOUT(main().File1->path() == big.path() && test::listed(), 60000);
        if (heapBefore >= 0)  // some 30 bytes a name; an object for each costs several times that
            QVERIFY2(rt::platform::heapInUse() - heapBefore < qint64(files + folders) * 80,
                     qPrintable(QString::number(rt::platform::heapInUse() - heapBefore)));
        const QAbstractItemModel *shown = main().Dir1->model();
        QCOMPARE(shown->index(shown->rowCount() - folders, 0).data().toString(), QStringLiteral("d1"));
        QCOMPARE(shown->index(shown->rowCount() - 1, 0).data().toString(), QStringLiteral("d%1").arg(folders));

        rt::FileListBox *list = main().File1;
        QCOMPARE(list->listCount(), files);
        list->setFocus();
        for (const auto &[key, expected] :
             {std::pair{Qt::Key_End, files}, {Qt::Key_Up, files - 1}, {Qt::Key_Home, 1}, {Qt::Key_Down, 2}}) {
            QTest::keyClick(list, key);
            QCOMPARE(list->fileName(), name(expected));
        }

        Form10 *cells = test::chooseThumbnailList();
        QVERIFY(cells);
        QTRY_COMPARE_WITH_TIMEOUT(cells->fileCount, files, 60000);
        QCOMPARE(cells->Label1(1).caption(), name(2));
        QCOMPARE(cells->Label1(files - 1).caption(), name(files));
        QCOMPARE(cells->Text1(files - 1).text(), big.file(name(files)));
        QCOMPARE(list->listIndex(), files - 1);
        test::unloadAllWindows();
    }

    // The thumbnail list opened while the folder is still read gets a cell
    // for every file the listing brings after it opened.
    void theThumbnailListTakesWhatTheListingBringsLater()
    {
        test::Folder big;
        QStringList all;
        for (int i = 0; i < 300; ++i)
            big.text(all.emplace_back(QStringLiteral("c%1.bmp").arg(i)));
        Gate gate;
        gate.hold(big.path());
        main().File1->setPath(big.path());
        gate.let(2);
        QTRY_VERIFY(main().File1->listCount() > 0);
        test::whenPopup([&] { return main().itiran; });
        QTest::mouseClick(main().File1->viewport(), Qt::RightButton, {},
                          QPoint(5, 5));  // not waiting for the held listing
        Form10 *list = rt::Form::ifLoaded<Form10>();
        QVERIFY(list && list->fileCount < all.size());
        gate.open();
        QTRY_COMPARE(list->fileCount, all.size());
        QStringList captions;
        for (int k = 0; k < list->fileCount; ++k)
            captions << list->Label1(k).caption();
        captions.sort();
        all.sort();
        QCOMPARE(captions, all);
        QCOMPARE(main().File1->listIndex(), all.size() - 1);
        test::unloadAllWindows();
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

    // Where it stands on the screen is checked end to end (tests/e2e).
    void windowHasAFixedSizeAndItsDesignedLook()
    {
        Form1 &m = main();
        QCOMPARE(m.minimumSize(), m.maximumSize());
        QCOMPARE(m.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
                 Qt::WindowMinimizeButtonHint);
        QCOMPARE(m.client()->palette().color(QPalette::Window), QColor(192, 192, 192));
        QCOMPARE(m.windowIcon().availableSizes().value(0), QSize(64, 64));
    }

    void slotsStartFreeWithTheirBadgeOnTop()
    {
        Form1 &m = main();
        for (int k = 1; k <= 4; ++k) {
            const PreviewSlot &slot = m.previewSlots[k];
            QVERIFY(slot.image->picture().isEmpty() && slot.label->text().isEmpty() && !slot.label->isVisible());
            QCOMPARE(slot.badge->picture().image().size(), QSize(20, 20));
            // The badge lies above the image: a press there reaches the badge.
            QCOMPARE(m.client()->childAt(slot.image->pos() + QPoint(5, 5)), slot.badge);
        }
        QVERIFY(m.Text1->text().isEmpty());
        QCOMPARE(m.previewSlots.slotNo, 0);
    }

    void tabOrderRunsThroughThePanesBadgesAndPathBox()
    {
        Form1 &m = main();
        QCOMPARE(QApplication::focusWidget(), m.Drive1);
        const QList<QWidget *> order = {m.Dir1, m.File1, m.Picture1, m.Picture2, m.Picture3, m.Picture4, m.Text1};
        for (QWidget *next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void japaneseCaptionsHaveAJapaneseFont()
    {
        const QFontInfo info(main().Label5->font());
        QVERIFY2(info.family().contains(QStringLiteral("Gothic"), Qt::CaseInsensitive)
                     || info.family().contains(QStringLiteral("CJK")),
                 qPrintable(info.family()));
        QVERIFY(info.bold());
    }

    void aboutWindowIsModal()
    {
        Form1 &m = main();
        bool checked = false;
        test::whenModal([&](QWidget *modal) {
            auto *about = qobject_cast<Form7 *>(modal);
            QVERIFY(about);
            QVERIFY(about->windowFlags() & Qt::Tool);
            QCOMPARE(QApplication::focusWidget(), about->Picture1);
            checked = true;
            about->close();
        });
        m.var->trigger();
        QVERIFY(checked);
        QVERIFY(!rt::Form::ifLoaded<Form7>());
    }

    void everyControlHasAnAccessibleName()
    {
        for (QWidget *control : main().client()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!control->isVisible())
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(control->objectName()));
        }
        QCOMPARE(main().Image2->objectName(), QStringLiteral("Image2"));
    }

    // Files that cannot be opened are tst_hostile_window's; with no file
    // selected, the folder itself is no picture.
    void aDoubleClickWithNoFileSelectedIsTold()
    {
        Form1 &m = main();
        test::openFile(QStringLiteral("img2.jpg"));
        m.File1->setListIndex(-1);
        emit m.File1->DblClick();
        test::landJobs();
        QVERIFY(m.previewSlots.isFree(2));
        QCOMPARE(test::takeMessages().size(), 1);
    }
};

QTEST_MAIN(BrowserTest)
#include "tst_browser.moc"
