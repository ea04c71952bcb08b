// The thumbnail list while its thumbnails are still being decoded: the window
// and its cells answer at once, cells in view come first, late thumbnails
// never fill a cell that was emptied or a list that was closed. The memory
// the list takes: pictures kept around the view only, whole-picture decodes
// within one budget.
#include "app/Form1.h"
#include "dialogs/Form9.h"
#include "runtime/forms/Twips.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/Form2.h"
#include "thumbs/MDIForm1.h"
#include "runtime/services/DecodeThreads.h"
#include "runtime/services/Program.h"
#include "thumbnailing/CacheWriter.h"
#include "runtime/pictures/DecodeBudget.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMutex>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QThread>

#include <optional>
#include <thread>

using rt::Form;

namespace {

QString name(int k) { return QStringLiteral("p%1.bmp").arg(k, 3, 10, QLatin1Char('0')); }

// Stands in for the decoder: each file is decoded as usual, then held while
// the gate is shut, so a test sees the list before its thumbnails are in and
// can change things under decodes still running. Records the order in which
// files were begun. Lives as long as the program: a decode may still pass it
// after a test.
struct Gate
{
    QMutex mutex;  // guards begunSoFar
    QStringList begunSoFar;
    std::atomic<bool> isOpen = true;
    // Files read here instead (test::thumbnailReadHere), for the cases that
    // need no decoder.
    std::atomic<bool> readHere = false;

    void open(bool open = true)
    {
        const QMutexLocker lock(&mutex);
        isOpen = open;
        if (!open)
            begunSoFar.clear();
    }
    QStringList begun()
    {
        const QMutexLocker lock(&mutex);
        return begunSoFar;
    }
    Thumbnail pass(const QString &path, QSize shown)
    {
        mutex.lock();
        begunSoFar.append(QFileInfo(path).fileName());
        mutex.unlock();
        // Read before waiting: what arrives late is the file as it was then.
        const Thumbnail thumbnail = readHere ? test::thumbnailReadHere(path, shown) : makeThumbnail(path, shown);
        while (!isOpen)
            QThread::msleep(1);
        return thumbnail;
    }
} &gate = *new Gate;

}  // namespace

class ThumbsBackgroundTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;
    Form10 *list = nullptr;

    Form1 &main() { return form1(); }

    // p001.bmp ... pN.bmp, each of its own colour; opens the list, waiting
    // for its thumbnails only if asked to.
    bool openList(int pictures, bool wait = false)
    {
        for (int k = 1; k <= pictures; ++k)
            folder->picture(name(k), QSize(90, 70), test::colourOf(k));
        list = test::chooseThumbnailList();
        return list && (!wait || test::thumbnailsIn(list));
    }

private slots:
    void initTestCase()
    {
        test::prepareApplication();
        ThumbnailQueue::setMaker([](const QString &path, QSize shown) { return gate.pass(path, shown); });
    }
    void init()
    {
        folder = std::make_unique<test::Folder>();
        QVERIFY(test::startIn(folder->path()));
        gate.open(false);
    }
    void cleanup()
    {
        Form10::pictureBudget = qint64(16) * 1024 * 1024;
        gate.readHere = false;
        gate.open();
        test::unloadAllWindows();
        cachewriter::resume();
    }
    void cleanupTestCase() { ThumbnailQueue::setMaker({}); }

    // Presses, the cell menu and double clicks act on the cell's path at once;
    // a cell emptied by the delete dialog stays empty when its thumbnail
    // arrives late.
    void theListIsShownAndAnswersBeforeItsThumbnailsAreIn()
    {
        QVERIFY(openList(14) && list->isVisible());
        MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
        QCOMPARE(list->cells->count(), 14);
        for (int k = 0; k < 14; ++k) {
            QCOMPARE(list->Label1(k).caption(), name(k + 1));
            QCOMPARE(list->Text1(k).text(), folder->file(name(k + 1)));
            QVERIFY(list->Image1(k).picture().isEmpty());
        }
        QCOMPARE(rt::twips(list->height()), 4230);
        QCOMPARE(main().File1->listIndex(), 13);
        QVERIFY(frame->progress->isVisible() && frame->progress->value() == 0 && frame->progress->maximum() == 14);

        QTest::mouseClick(list->cells, Qt::LeftButton, {}, test::cellCentre(list, 3));
        QCOMPARE(list->cellNo, 3);
        test::whenPopup([this] { return list->menuItem(QStringLiteral("コピー")); });
        QTest::mouseClick(list->cells, Qt::RightButton, {}, test::cellCentre(list, 5));
        QVERIFY(Form::ifLoaded<Form9>() && Form::ifLoaded<Form9>()->isVisible());
        QCOMPARE(Form::ifLoaded<Form9>()->Text1->text(), folder->file(name(6)));
        test::doubleClick(list->cells, test::cellCentre(list, 7));
        Form4 *view = Form::ifLoaded<Form4>();
        QVERIFY(view && view->isVisible());
        QCOMPARE(QColor(view->Image1->picture().image().pixel(10, 10)), test::colourOf(8));
        // Cell 0 is always decoded first: its thumbnail is made and held back.
        QTRY_VERIFY(gate.begun().contains(name(1)));
        test::whenPopup([this] { return list->menuItem(QStringLiteral("削除")); });
        QTest::mouseClick(list->cells, Qt::RightButton, {}, test::cellCentre(list, 0));
        test::click(Form::ifLoaded<Form2>()->Command1);
        // The deletion lands while the thumbnail is held (seconds under Wine,
        // where the decoders starting meanwhile each take a Windows process).
        QTRY_VERIFY_WITH_TIMEOUT(list->Label1(0).caption().isEmpty(), 30000);

        gate.open();
        QVERIFY(test::thumbnailsIn(list));
        QTest::qWait(20);  // any result still posted is handled by now
        QVERIFY(list->Image1(0).picture().isEmpty() && list->Label1(0).caption().isEmpty());
        QCOMPARE(list->Text1(0).text(), folder->file(name(1)));
        for (int k = 1; k < 14; ++k)
            QCOMPARE(test::colourAt(list->Image1(k).picture().image()), test::colourOf(k + 1));
        QTRY_VERIFY(!frame->progress->isVisible());
        QVERIFY(test::takeMessages().isEmpty());
    }

    void closingTheFrameWhileDecodingDropsTheQueueAndTheNextListIsWhole()
    {
        gate.readHere = true;
        QVERIFY(openList(60));
        // Every pool thread held at the gate, so none is between the queue and the gate at the close.
        QTRY_COMPARE(gate.begun().size(), rt::decodeThreads());
        Form::ifLoaded<MDIForm1>()->close();
        test::flushDeletes();
        const auto begun = gate.begun().size();
        QVERIFY(begun < 60);
        gate.open();
        QTest::qWait(50);
        QCOMPARE(gate.begun().size(), begun);  // nothing queued went on

        QVERIFY(openList(0, true));
        for (int k = 0; k < 60; ++k)
            QCOMPARE(test::colourAt(list->Image1(k).picture().image()), test::colourOf(k + 1));
    }

    void cellsScrolledIntoViewAreDecodedBeforeCellsFarFromTheView()
    {
        gate.readHere = true;
        QVERIFY(openList(180));  // thirty rows
        QScrollBar *scroll = Form::ifLoaded<MDIForm1>()->workspace->verticalScrollBar();
        QTRY_VERIFY(scroll->maximum() > 0);
        QTRY_VERIFY(!gate.begun().isEmpty());
        // The first files begun are the first screen's.
        for (const QString &begun : gate.begun())
            QVERIFY2(begun < name(37), qPrintable(begun));
        scroll->setValue(scroll->maximum());
        gate.open();
        QVERIFY(test::thumbnailsIn(list));
        const QStringList order = gate.begun();
        QCOMPARE(order.size(), 180);
        QVERIFY(order.indexOf(name(180)) < order.indexOf(name(90)));
        QVERIFY(order.indexOf(name(170)) < order.indexOf(name(60)));
    }

    // Scrolled a page at a time down and back up. (The wheel moves the same
    // scroll bar, whose value the list follows.)
    void picturesAreKeptAroundTheViewOnlyAndComeBack()
    {
        const int budget = 60;  // pictures of 65 x 65 x 3 bytes, a row padded to 196
        const int pictures = 240;
        Form10::pictureBudget = budget * 196 * 65;
        gate.readHere = true;
        gate.open();
        // Forty rows, five or six in view, four times the budget.
        QVERIFY(openList(pictures) && test::thumbnailsIn(list));
        // A cell emptied by the delete dialog far from the view stays empty,
        // even once a file of that name is back.
        list->cellNo = 200;
        list->menuItem(QStringLiteral("削除"))->trigger();
        test::click(Form::ifLoaded<Form2>()->Command1);
        folder->picture(name(201), QSize(90, 70), test::colourOf(201));

        QScrollBar *bar = Form::ifLoaded<MDIForm1>()->workspace->verticalScrollBar();
        for (int step : {bar->pageStep(), -bar->pageStep()}) {
            for (;;) {
                const QRect seen = list->cells->visibleRegion().boundingRect();
                int inView = 0, held = 0;
                for (int k = 0; k < pictures; ++k) {
                    if (!seen.intersects(QRect(test::cellCentre(list, k) - QPoint(32, 32), QSize(65, 65))))
                        continue;
                    ++inView;
                    if (k != 200) {
                        QTRY_COMPARE(test::colourAt(list->Image1(k).picture().image()), test::colourOf(k + 1));
                    } else {
                        QTest::qWait(50);  // its neighbours are in: so would it be
                        QVERIFY(list->Image1(200).picture().isEmpty());
                    }
                }
                // Counted once the view's pictures are in: each arrival may drop one far away.
                for (int k = 0; k < pictures; ++k)
                    held += list->Image1(k).picture().isEmpty() ? 0 : 1;
                QVERIFY2(held <= qMax(budget, inView + 1), qPrintable(QString::number(held)));
                if (bar->value() == (step > 0 ? bar->maximum() : 0))
                    break;
                bar->setValue(bar->value() + step);
            }
        }
    }

    void wholeDecodesPastTheBudgetRunAlone_data()
    {
        using namespace test::hostile;
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("alone");
        const QByteArray small = gif(QSize(64, 48));
        QTest::newRow("1000 x 1000 GIF screens, more than half the budget each")
            << withGifScreen(small, QSize(1000, 1000)) << true;
        QTest::newRow("300 x 300 GIF screens") << withGifScreen(small, QSize(300, 300)) << false;
    }

    void wholeDecodesPastTheBudgetRunAlone()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, alone);
        const int files = 4;
        for (int k = 0; k < files; ++k)
            folder->text(QStringLiteral("g%1.%2").arg(k).arg(file.startsWith("BM") ? "bmp" : "gif"), file);
        const qint64 budget = DecodeClaim::setBudget(6 * 1024 * 1024);
        std::atomic<int> most{0}, started{0};
        DecodeClaim::setWatcher([&](int running) {
            int seen = most;
            while (seen < running && !most.compare_exchange_weak(seen, running)) {
            }
            // Each decode but the last runs on until another runs beside it
            // or waits for it: decodes let through together always overlap.
            if (++started == files || rt::decodeThreads() == 1)
                return;
            for (QDeadlineTimer limit(10000); most < 2 && DecodeClaim::waiting() == 0 && !limit.hasExpired();)
                QThread::msleep(1);
        });
        gate.open();
        QVERIFY(openList(0, true));
        DecodeClaim::setWatcher({});
        DecodeClaim::setBudget(budget);
        QVERIFY(!list->Image1(3).picture().isEmpty());
        QCOMPARE(most.load() == 1, alone || rt::decodeThreads() == 1);
    }

    // Every decode claims, small ones too: one waiting to run alone goes
    // before those asked for after it, which would otherwise keep it waiting.
    void aDecodeWaitingToRunAloneGoesFirst()
    {
        const qint64 budget = DecodeClaim::setBudget(10);
        std::atomic<int> order{0}, alone{-1}, small{-1};
        {
            std::jthread large, later;                             // joined once the running claim is gone
            std::optional<DecodeClaim> running(std::in_place, 2);  // the interface thread's: it never waits
            large = std::jthread([&] {
                const DecodeClaim claim(20);
                alone = order++;
            });
            QTRY_COMPARE(DecodeClaim::waiting(), 1);
            later = std::jthread([&] {
                const DecodeClaim claim(1);
                small = order++;
            });
            QTRY_VERIFY(DecodeClaim::waiting() == 2 || small >= 0);  // waits behind it, or was let through
            running.reset();
        }
        DecodeClaim::setBudget(budget);
        QCOMPARE(alone.load(), 0);
        QCOMPARE(small.load(), 1);
    }

    // The end sends a decode waiting for memory away: it never begins.
    void theEndSendsDecodesWaitingForMemoryAway()
    {
        const qint64 budget = DecodeClaim::setBudget(1);
        std::atomic<int> granted{-1};
        {
            std::jthread waiting;  // joined once the running claim is gone
            const DecodeClaim running(2);
            waiting = std::jthread([&granted] { granted = DecodeClaim(2).granted(); });
            QTRY_COMPARE(DecodeClaim::waiting(), 1);
            rt::endProgram();           // with the tests' hook: the process lives on
            QTRY_VERIFY(granted >= 0);  // before the running one is done
        }
        DecodeClaim::setBudget(budget);
        QCOMPARE(granted.load(), 0);
    }
};

QTEST_MAIN(ThumbsBackgroundTest)
#include "tst_thumbs_background.moc"
