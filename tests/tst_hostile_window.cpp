// The whole program in a folder made to break it: hostile pictures, files
// swapped for special files after they were listed, a folder removed while
// listed, a slot whose file another program deleted. Whatever fails leaves
// the slots as they were; a double click tells the user, a drop says nothing.
#include "app/Form1.h"
#include "dialogs/Form8.h"
#include "dialogs/Form9.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QWindow>

#include <future>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

using namespace test::hostile;
using rt::Form;

namespace {

// Ends the test program when a step takes too long, so that a hang fails at
// once instead of holding CI until ctest's time-out.
class Watchdog
{
public:
    explicit Watchdog(const QString &what, int seconds = 20)
        : thread_([this, what, seconds] {
            if (ended_.get_future().wait_for(std::chrono::seconds(seconds)) == std::future_status::timeout)
                qFatal("hung for %d s: %s", seconds, qPrintable(what));
        })
    {}
    ~Watchdog()
    {
        ended_.set_value();
        thread_.join();
    }

private:
    std::promise<void> ended_;
    std::thread thread_;
};

// What a user sees of the four slots and the path box.
struct SlotsState
{
    QList<quint64> handles;
    QStringList paths;
    QString text;
    bool operator==(const SlotsState &) const = default;
};

}  // namespace

class HostileWindowTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;
    QStringList hostile;

    Form1 &main() { return form1(); }

    SlotsState state()
    {
        SlotsState now;
        for (int k = 1; k <= PreviewSlots::kCount; ++k) {
            now.handles << main().previewSlots[k].image->picture().handle();
            now.paths << main().previewSlots.path(k);
        }
        now.text = main().Text1->text();
        return now;
    }

    void drop(const QString &name, int k)
    {
        QVERIFY2(test::selectFile(name), qPrintable(name));
        emit main().previewSlots[k].image->DragDrop(main().File1, QPoint(10, 10));
        test::landJobs();
    }

    // Every way in fails for `name`: told once on a double click, silent on a drop.
    void refusedBothWays(const QString &name)
    {
        const Watchdog watchdog(name);
        const QString shown = QDir::toNativeSeparators(folder->file(name));
        const SlotsState before = state();
        test::openFile(name);
        QVERIFY2(state() == before, qPrintable(name));
        const QStringList told = test::takeMessages();
        QVERIFY2(told.size() == 1 && told.first().contains(shown), qPrintable(name + told.join(QLatin1Char('|'))));
        drop(name, 1);
        QVERIFY2(state() == before, qPrintable(name));
        QVERIFY2(test::takeMessages().isEmpty(), qPrintable(name));
    }

private slots:
    void initTestCase() { test::prepareApplication(); }

    void init()
    {
        folder = std::make_unique<test::Folder>();
        write(folder->file(QStringLiteral("good.bmp")), encoded(pattern(QSize(40, 30)), "bmp"));
        const QList<QPair<QString, QByteArray>> files = {
            {QStringLiteral("empty.jpg"), QByteArray()},
            {QStringLiteral("text.bmp"), "hello"},
            {QStringLiteral("png.jpg"), encoded(pattern(QSize(20, 20)), "png")},
            {QStringLiteral("huge.bmp"), bmpHeader(60000, 60000)},
            {QStringLiteral("screen.gif"), withGifScreen(gif(QSize(8, 8)), QSize(65535, 65535))},
            {QStringLiteral("scans.jpg"), withRepeatedScan(jpeg(QSize(256, 256), true), 3000)},
            {QStringLiteral("cut.ico"), iconFile({iconBitmap(QSize(48, 48))}).left(60)},
            {QStringLiteral("no screen.gif"), QByteArray("GIF89a\0\0\0\0\0\0\0;", 14)},
            {QStringLiteral("-n.jpg"), "-n"},
            {QStringLiteral("new" TEST_LINE_BREAK "line.gif"), QByteArray(300, '\xff')},
            {QStringLiteral("日本 語.ico"), QByteArray("\0\0\1\0\1\0", 6)},
        };
        hostile.clear();
        for (const auto &[name, bytes] : files) {
            write(folder->file(name), bytes);
            hostile << name;
        }
        QVERIFY(test::startIn(folder->path()));
        QCOMPARE(main().File1->listCount(), files.size() + 1);
    }

    void cleanup() { test::unloadAllWindows(); }

    void hostilePicturesChangeNoSlot()
    {
        test::openFile(QStringLiteral("good.bmp"));
        main().Text1->setText(QStringLiteral("typed"));
        for (const QString &name : hostile)
            refusedBothWays(name);
        QVERIFY(main().previewSlots.isFree(2));
    }

    void filesSwappedAfterListingAreRefused()
    {
        QVERIFY(QFile::copy(folder->file(QStringLiteral("good.bmp")), folder->file(QStringLiteral("gone.bmp"))));
        main().File1->Refresh();
        QVERIFY(test::listed());
        // Listed as regular files; replaced behind the list's back.
        auto replace = [&](const QString &name) {
            QFile::remove(folder->file(name));
            return folder->file(name);
        };
        // The kinds are tst_hostile_files'; here, that opening checks afresh.
        QVERIFY(test::makeBlockingFile(replace(QStringLiteral("text.bmp"))));
        QVERIFY(QDir(folder->path()).mkdir(QFileInfo(replace(QStringLiteral("png.jpg"))).fileName()));
        QFile::remove(folder->file(QStringLiteral("gone.bmp")));
        for (const QString &name : {QStringLiteral("text.bmp"), QStringLiteral("png.jpg"), QStringLiteral("gone.bmp")})
            refusedBothWays(name);
    }

    void aFolderRemovedWhileListed()
    {
        QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("sub")));
        const QString sub = folder->file(QStringLiteral("sub"));
        for (const QString &name : {QStringLiteral("x.bmp"), QStringLiteral("y.bmp")})
            QFile::copy(folder->file(QStringLiteral("good.bmp")), sub + QLatin1Char('/') + name);
        main().Dir1->setPath(sub);
        QTRY_COMPARE(main().File1->fileName(), QStringLiteral("x.bmp"));
        QVERIFY(QDir(sub).removeRecursively());
        const SlotsState before = state();
        emit main().File1->DblClick();
        test::landJobs();
        QCOMPARE(state(), before);
        QCOMPARE(test::takeMessages().size(), 1);
        drop(QStringLiteral("y.bmp"), 2);
        QCOMPARE(state(), before);
        main().File1->Refresh();
        QVERIFY(test::listed());
        QCOMPARE(main().File1->listCount(), 0);
        QVERIFY(test::takeMessages().isEmpty());
    }

    void aSlotWhoseFileAnotherProgramDeleted()
    {
        const QString good = folder->file(QStringLiteral("good.bmp"));
        test::openFile(QStringLiteral("good.bmp"));
        QFile::remove(good);
        const SlotsState before = state();

        // Delete and copy fail at their first step; what is told names the file.
        test::answer(&Form8::Command1);
        test::chooseInSlotMenu(1, main().del);
        QCOMPARE(state(), before);
        QVERIFY(main().File1->indexOf(QStringLiteral("good.bmp")) >= 0);  // not refreshed
        test::answer(&Form9::Command1);
        test::chooseInSlotMenu(1, main().copi);
        QVERIFY(!QFileInfo::exists(good + QStringLiteral("コピー")));
        for (const QString &message : test::takeMessages())
            QVERIFY(message.contains(QDir::toNativeSeparators(good)));

        // The large view opens, is told, and keeps the picture it had.
        emit main().Image1->DblClick();
        test::landJobs();
        QVERIFY(Form::ifLoaded<Form4>() && Form::ifLoaded<Form4>()->Image1->picture().isEmpty());
        QCOMPARE(test::takeMessages().size(), 1);

#ifdef Q_OS_WIN
        // Under Wine, with the report going to a pipe, the slot menu below
        // often never returns (at the deletion or at the copy): QMenu::exec()
        // keeps waiting in its loop after its menu was shown and hidden, with
        // no job pending. With the report in a file it passes.
        QSKIP(
            "a file held without sharing: the slot menu's exec() does not return under Wine when the report is piped");
#endif
        // Replaced by a named pipe: neither deleted nor read.
        QVERIFY(test::makeBlockingFile(good));
        const Watchdog watchdog(QStringLiteral("commands on a pipe"));
        test::answer(&Form8::Command1);
        test::chooseInSlotMenu(1, main().del);
        QVERIFY(QFileInfo(good).exists());
        test::answer(&Form9::Command1);
        test::chooseInSlotMenu(1, main().copi);
        QCOMPARE(state(), before);
    }

    void aHugePictureFitsASlotButNotTheLargeView()
    {
        write(folder->file(QStringLiteral("wide.jpg")), withJpegSize(jpeg(QSize(64, 48)), QSize(30000, 30000)));
        main().File1->Refresh();
        test::openFile(QStringLiteral("wide.jpg"));  // decoded at an eighth of its size, or less
        QVERIFY(!main().previewSlots.isFree(1));
        QCOMPARE(main().Image1->picture().fileSize(), QSize(30000, 30000));
        emit main().Image1->DblClick();
        test::landJobs();
        QVERIFY(Form::ifLoaded<Form4>()->Image1->picture().isEmpty());
        QCOMPARE(test::takeReasons(), QList<rt::Reason>{rt::Reason::TooLarge});
    }

    void theThumbnailListOfAHostileFolderIsBuiltWhole()
    {
        const Watchdog watchdog(QStringLiteral("the thumbnail list"), 60);
        main().itiran->trigger();
        Form10 *list = Form::ifLoaded<Form10>();
        QVERIFY(list);
        QVERIFY(test::thumbnailsIn(list, 30000));  // the thumbnails come after the list shows
        QCOMPARE(list->fileCount, main().File1->listCount());
        for (int k = 0; k < list->fileCount; ++k) {
            const QString name = main().File1->entry(k);
            QCOMPARE(list->Label1(k).caption(), name);
            QCOMPARE(list->Image1(k).picture().isEmpty(), name != QLatin1String("good.bmp"));
        }
        QVERIFY(test::takeMessages().isEmpty());
        Form::ifLoaded<MDIForm1>()->close();
        test::flushDeletes();
    }

    // A name is shown as typed wherever it shows. Taken for rich text, the
    // second would have Qt decode evil.png (beside it, and in the current
    // folder) in this process, outside the confined decoder.
    void namesThatLookLikeMarkupAreShownAsTyped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("bold") << QStringLiteral("<b>x.jpg");  // no "</b>": a name holds no slash
        QTest::newRow("picture") << QStringLiteral("<img src=evil.png>.jpg");
        QTest::newRow("title placeholder") << QStringLiteral("a[*]b.jpg");
    }

    void namesThatLookLikeMarkupAreShownAsTyped()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows allows no <, > or * in names");
#endif
        QFETCH(QString, name);
        const QString path = folder->picture(name), evil = folder->picture(QStringLiteral("evil.png"));
        QCOMPARE(QDir::current(), QDir(folder->path()));
#ifdef Q_OS_LINUX
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        const auto unwatch = qScopeGuard([watch] { close(watch); });
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(evil).constData(), IN_OPEN) >= 0);
#endif
        main().File1->Refresh();
        test::openFile(name);
        QCOMPARE(main().previewSlots[1].label->text(), path);  // never shown, but a label all the same
        QCOMPARE(main().previewSlots[1].label->textFormat(), Qt::PlainText);

        // The copy confirmation holds the path (the delete confirmation only the slot's number).
        int answered = 0;
        test::whenModal([&](QWidget *modal) {
            ++answered;
            auto *copy = qobject_cast<Form9 *>(modal);
            QVERIFY(copy);
            QCOMPARE(copy->Text1->text(), path);
            for (const QLabel *label : copy->findChildren<QLabel *>())
                QCOMPARE(label->textFormat(), Qt::PlainText);
            test::click(copy->Command2);
        });
        test::chooseInSlotMenu(1, main().copi);
        QCOMPARE(answered, 1);

        emit main().Image1->DblClick();
        test::landJobs();
        QCOMPARE(Form::ifLoaded<Form4>()->windowHandle()->title(), path);

        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        const int k = main().File1->indexOf(name);
        QCOMPARE(list->Label1(k).caption(), name);  // drawn with QPainter::drawText, which reads no markup
        Form::ifLoaded<MDIForm1>()->close();

        write(path, "damaged");
        test::tellInBoxes(true);
        const auto recording = qScopeGuard([] { test::tellInBoxes(false); });
        test::whenModal([&](QWidget *modal) {
            ++answered;
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            QVERIFY2(box->text().contains(path), qPrintable(box->text()));
            QCOMPARE(box->textFormat(), Qt::PlainText);
            test::click(box->button(QMessageBox::Ok));
        });
        test::openFile(name);
        QCOMPARE(answered, 2);
#ifdef Q_OS_LINUX
        char opens[4096];
        QVERIFY2(read(watch, opens, sizeof opens) < 0, "evil.png was opened");
#else
        QSKIP("whether evil.png is opened is watched with inotify, on Linux only");
#endif
    }
};

QTEST_MAIN(HostileWindowTest)
#include "tst_hostile_window.moc"
