// The runtime layer's promises to the windows: window instances, modality,
// pop-up menus, sent keys, text conversion and the wording of failures.
// Pictures and file operations have programs of their own (tst_hostile_files,
// tst_fileops).
#include "runtime/forms/Events.h"
#include "runtime/services/Failure.h"
#include "runtime/forms/Form.h"
#include "runtime/forms/Keys.h"
#include "runtime/services/Paths.h"
#include "runtime/services/Platform.h"
#include "runtime/forms/Properties.h"
#include "runtime/services/Text.h"
#include "runtime/services/TextColumn.h"
#include "runtime/forms/controls/FileListBox.h"
#include "support/TestSupport.h"
#include "thumbnailing/SharedThumbnails.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A window that counts its loads and can unload itself from its own handler.
class Probe : public rt::Form
{
public:
    Probe()
    {
        box = new QLineEdit(client());
        button = new QPushButton(QStringLiteral("OK"), client());
        QObject::connect(button, &QPushButton::clicked, this, [this] { unload(); });
        setClientSize(1500, 750);  // Qt shows no window of size zero
    }
    void Form_Load() override { ++loads; }
    static inline int loads = 0;
    QLineEdit *box;
    QPushButton *button;
};

}  // namespace

class RuntimeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { test::prepareApplication(); }

    void testsKeepTheirCachesToThemselves()
    {
        const QString cache = QFile::decodeName(qgetenv("XDG_CACHE_HOME"));
        QCOMPARE(SharedThumbnail::cacheFolder(), cache + QStringLiteral("/thumbnails"));
        QVERIFY(!cache.startsWith(QDir::homePath() + QStringLiteral("/.cache")));
        QVERIFY(QFileInfo(cache).isDir());
    }

    void windowIsCreatedOnFirstReferenceAndFreshAfterUnload()
    {
        Probe::loads = 0;
        QVERIFY(!rt::Form::ifLoaded<Probe>());
        Probe &first = rt::Form::instance<Probe>();
        QCOMPARE(Probe::loads, 1);
        QVERIFY(!first.isVisible());
        first.box->setText(QStringLiteral("kept while loaded"));
        QCOMPARE(&rt::Form::instance<Probe>(), &first);
        QCOMPARE(Probe::loads, 1);

        first.unload();
        QVERIFY(!rt::Form::ifLoaded<Probe>());
        Probe &second = rt::Form::instance<Probe>();
        QCOMPARE(Probe::loads, 2);
        QVERIFY(second.box->text().isEmpty());
        second.unload();
        test::flushDeletes();
    }

    void modalShowEndsWhenTheWindowUnloadsItselfOrHides()
    {
        Probe &probe = rt::Form::instance<Probe>();
        test::whenModal([](QWidget *modal) {
            QVERIFY(modal->isWindow());
            test::click(static_cast<Probe *>(modal)->button);  // unloads from its own handler
        });
        probe.showModal();
        QVERIFY(!rt::Form::ifLoaded<Probe>());
        test::flushDeletes();

        Probe &hidden = rt::Form::instance<Probe>();
        test::whenModal([](QWidget *modal) { modal->hide(); });
        hidden.showModal();
        QCOMPARE(rt::Form::ifLoaded<Probe>(), &hidden);  // hidden, still loaded
        QVERIFY(!hidden.isVisible());
        hidden.unload();
        test::flushDeletes();
    }

    void closeBoxUnloads()
    {
        Probe &probe = rt::Form::instance<Probe>();
        probe.showModeless();
        probe.close();
        QVERIFY(!rt::Form::ifLoaded<Probe>());
        test::flushDeletes();
    }

    void sentDownKeyIsQueuedOrWaitedFor()
    {
        test::Folder folder;
        folder.picture(QStringLiteral("a.bmp"));
        folder.picture(QStringLiteral("b.bmp"));
        rt::FileListBox list;
        list.setPath(folder.path());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        rt::giveFocus(&list);

        rt::sendKeys(QStringLiteral("{DOWN}"), false);
        QCOMPARE(list.listIndex(), -1);  // not yet processed
        QTRY_COMPARE(list.fileName(), QStringLiteral("a.bmp"));

        rt::sendKeys(QStringLiteral("{DOWN}"), true);
        QCOMPARE(list.fileName(), QStringLiteral("b.bmp"));
        rt::sendKeys(QStringLiteral("{DOWN}"), true);
        QCOMPARE(list.fileName(), QStringLiteral("b.bmp"));  // stays on the last entry
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::sendKeys(QStringLiteral("{UP}"), true));
    }

    void sentKeysSkipAFocusLeftInAWindowThatIsNoLongerActive()
    {
        test::Folder folder;
        folder.picture(QStringLiteral("a.bmp"));
        rt::FileListBox list;
        list.setPath(folder.path());
        list.show();
        QTRY_VERIFY(!list.isListing());
        QWidget window;
        auto *other = new QLineEdit(&window);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        // Between two activations the application's focus may still name a
        // control of the window that was active before.
        QMenu menu;
        menu.popup(QPoint(0, 0));
        QApplication::setActiveWindow(nullptr);
        menu.hide();
        QCOMPARE(QApplication::focusWidget(), other);
        rt::giveFocus(&list);
        rt::sendKeys(QStringLiteral("{DOWN}"), true);
        QCOMPARE(list.fileName(), QStringLiteral("a.bmp"));
    }

    void textConversions()
    {
        QCOMPARE(rt::lastChar(QStringLiteral("C:\\")), QStringLiteral("\\"));
        QCOMPARE(rt::lastChar(QString()), QString());
        QCOMPARE(rt::toDecimal(4), QStringLiteral("4"));
        QCOMPARE(rt::toDecimal(40000), QStringLiteral("40000"));
        QCOMPARE(rt::fromDecimal(QStringLiteral("40000")), qint64(40000));
        QCOMPARE(rt::fromDecimal(QStringLiteral("-3")), qint64(-3));
        for (const char *bad : {"", " 1", "1 ", "x", "1.5", "-", "0x10"})
            QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::fromDecimal(QString::fromLatin1(bad)));
    }

    // Texts replaced shorter, longer and emptied, often enough that the block
    // is compacted more than once, read back as a list of strings holds them.
    void aTextColumnHoldsWhatWasLastSetInEachRow()
    {
        rt::TextColumn column;
        QStringList expected;
        for (int k = 0; k < 50; ++k) {
            expected.append(QStringLiteral("名前%1.jpg").arg(k));
            column.append(expected.back());
        }
        for (int round = 0; round < 20; ++round) {
            for (int k = round % 3; k < 50; k += 3) {
                const QString text = k % 2 ? expected[k] + QStringLiteral("と長い名前") : expected[k].left(k % 5);
                column.set(k, text);
                expected[k] = text;
            }
        }
        for (int k = 0; k < 50; ++k) {
            QCOMPARE(column.at(k), expected[k]);
            QCOMPARE(column.isEmpty(k), expected[k].isEmpty());
            QVERIFY(column.equals(k, expected[k]));
        }
    }

    // With the system's separator ("\\" on Windows), after a root ("/", "C:\\") too.
    void fullPathJoinsWithOneSeparator()
    {
        const QString sep = QDir::separator(), root = rt::platform::drives().value(0);
        QCOMPARE(rt::fullPath(root, QStringLiteral("a.bmp")), root + QStringLiteral("a.bmp"));
        QCOMPARE(rt::fullPath(root + QStringLiteral("pic"), QStringLiteral("a.bmp")),
                 root + QStringLiteral("pic") + sep + QStringLiteral("a.bmp"));
        QVERIFY(root.endsWith(sep));
    }

    // How a failure is told: what was done, to which file (as the system
    // writes paths), and why, with the detail the reason carries.
    void failureMessagesNameTheFileAndTheReason()
    {
        const QString file = QStringLiteral("/写真/a.jpg"), shown = QDir::toNativeSeparators(file);
        const rt::RuntimeError busy(rt::Action::Delete, file,
                                    {rt::Reason::RemoveFailed, QStringLiteral("Device busy")});
        QCOMPARE(busy.message(), QStringLiteral("「%1」を削除できませんでした。\nDevice busy").arg(shown));
        QCOMPARE(QString::fromUtf8(busy.what()), busy.message());
        QCOMPARE(busy.reason(), rt::Reason::RemoveFailed);
        const rt::RuntimeError none(rt::Action::Copy, QString(), rt::Reason::NoFileGiven);
        QCOMPARE(none.message(), QStringLiteral("コピーできませんでした。\nコピーするファイルがありません。"));
        const rt::RuntimeError exists(rt::Action::Copy, file,
                                      {rt::Reason::DestinationExists, file + QStringLiteral("コピー")});
        QVERIFY(exists.message().endsWith(QStringLiteral(": %1コピー").arg(shown)));
        const rt::RuntimeError large(rt::Action::Open, file, {rt::Reason::TooLarge, QSize(60000, 30000)});
        QVERIFY(large.message().endsWith(QStringLiteral("（60000 × 30000 ピクセル）。")));
        // The formats opened, as runtime/pictures/PictureFormats.table names them.
        QCOMPARE(rt::reasonText(rt::Action::Open, rt::Reason::UnsupportedType),
                 QStringLiteral("対応していない形式のファイルです（BMP、JPEG、GIF、ICO のみ）。"));
    }

    // Each reason is told, and in its own words: a user can tell any two apart.
    void everyReasonIsWordedApart()
    {
        for (const rt::Action action : {rt::Action::Open, rt::Action::Copy, rt::Action::Delete}) {
            QHash<QString, int> seen;
            for (int reason = int(rt::Reason::None) + 1; reason < int(rt::Reason::Other); ++reason) {
                const QString text = rt::reasonText(action, {rt::Reason(reason), QStringLiteral("x")});
                QVERIFY2(!text.isEmpty(), qPrintable(QString::number(reason)));
                QVERIFY2(!seen.contains(text),
                         qPrintable(QStringLiteral("%1 and %2: %3").arg(seen.value(text)).arg(reason).arg(text)));
                seen.insert(text, reason);
            }
        }
        // Two are worded by what was being done.
        for (const rt::Reason reason : {rt::Reason::NoFileGiven, rt::Reason::IsFolder})
            QVERIFY(rt::reasonText(rt::Action::Delete, reason) != rt::reasonText(rt::Action::Copy, reason));
    }

    void readByNameFindsPathAndFileNameOnlyOnAFileList()
    {
        rt::FileListBox list;
        QCOMPARE(rt::readByName(&list, QStringLiteral("path")), list.path());
        QCOMPARE(rt::readByName(&list, QStringLiteral("FILENAME")), QString());
        QLineEdit box;
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::readByName(&box, QStringLiteral("Path")));
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::readByName(nullptr, QStringLiteral("Path")));
    }
};

QTEST_MAIN(RuntimeTest)
#include "tst_runtime.moc"
