// The runtime layer's promises to the windows: window instances, modality,
// pop-up menus, sent keys, text conversion and the wording of failures.
// Pictures and file operations have programs of their own (tst_loader,
// tst_fileops).
#include "runtime/Events.h"
#include "runtime/Failure.h"
#include "runtime/Form.h"
#include "runtime/Keys.h"
#include "runtime/Paths.h"
#include "runtime/Properties.h"
#include "runtime/Text.h"
#include "runtime/controls/FileListBox.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
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

} // namespace

Q_DECLARE_METATYPE(rt::Failure)

class RuntimeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { test::prepareApplication(); }

    void testsKeepTheirCachesToThemselves()
    {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        QCOMPARE(cache, QFile::decodeName(qgetenv("XDG_CACHE_HOME")));
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

    void popupRunsTheChosenHandlerBeforeReturning()
    {
        QMenu menu;
        QAction *first = menu.addAction(QStringLiteral("one"));
        QAction *second = menu.addAction(QStringLiteral("two"));
        QStringList order;
        QObject::connect(second, &QAction::triggered, [&] { order << QStringLiteral("handler"); });
        test::whenPopup([=] { return second; });
        menu.exec(QPoint(10, 10));
        order << QStringLiteral("returned");
        QCOMPARE(order, QStringList({QStringLiteral("handler"), QStringLiteral("returned")}));
        Q_UNUSED(first);
    }

    void checkableMenuItemsAreOwnedByTheirHandlers()
    {
        QMenu menu;
        QAction *item = menu.addAction(QStringLiteral("max"));
        item->setCheckable(true);
        struct Receiver : QObject
        {
            QAction *item = nullptr;
            void toggle() { item->setChecked(!item->isChecked()); }
        } receiver;
        receiver.item = item;
        rt::onClick(item, &receiver, &Receiver::toggle);
        item->trigger();
        QVERIFY(item->isChecked());
        item->trigger();
        QVERIFY(!item->isChecked());
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

    void fullPathJoinsWithOneSeparator()
    {
        const QString sep = QDir::separator();
        QCOMPARE(rt::fullPath(sep, QStringLiteral("a.bmp")), sep + QStringLiteral("a.bmp"));
        QCOMPARE(rt::fullPath(sep + QStringLiteral("pic"), QStringLiteral("a.bmp")),
                 sep + QStringLiteral("pic") + sep + QStringLiteral("a.bmp"));
    }

    // Every failure reason as the user reads it, word for word.
    void failureMessagesAreWordedSo_data()
    {
        using rt::Action;
        using rt::Reason;
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("path");
        QTest::addColumn<rt::Failure>("failure");
        QTest::addColumn<QString>("message");
        const QString file = QStringLiteral("/写真/a.jpg");
        const QString shown = QDir::toNativeSeparators(file);
        auto row = [&](const char *tag, Action action, const QString &path, const rt::Failure &failure,
                       const QString &message) {
            QTest::newRow(tag) << int(action) << path << failure << message;
        };
        auto open = [&](const char *tag, const rt::Failure &failure, const QString &reason) {
            row(tag, Action::Open, file, failure, QStringLiteral("「%1」を開けませんでした。\n%2").arg(shown, reason));
        };
        auto copy = [&](const char *tag, const rt::Failure &failure, const QString &reason) {
            row(tag, Action::Copy, file, failure, QStringLiteral("「%1」をコピーできませんでした。\n%2").arg(shown, reason));
        };
        auto remove = [&](const char *tag, const rt::Failure &failure, const QString &reason) {
            row(tag, Action::Delete, file, failure, QStringLiteral("「%1」を削除できませんでした。\n%2").arg(shown, reason));
        };
        row("no file to copy", Action::Copy, QString(), Reason::NoFileGiven,
            QStringLiteral("コピーできませんでした。\nコピーするファイルがありません。"));
        row("no file to delete", Action::Delete, QString(), Reason::NoFileGiven,
            QStringLiteral("削除できませんでした。\n削除するファイルがありません。"));
        open("not found", Reason::NotFound, QStringLiteral("ファイルが見つかりません。"));
        open("dangling link", Reason::DanglingLink, QStringLiteral("リンク先のファイルがありません。"));
        open("link loop", Reason::LinkLoop, QStringLiteral("リンクが循環しています。"));
        open("no read permission", Reason::NoReadPermission, QStringLiteral("ファイルを読む権限がありません。"));
        open("path too long", Reason::PathTooLong, QStringLiteral("ファイルのパスが長すぎます。"));
        remove("unfaithful name", Reason::UnfaithfulName, QStringLiteral("ファイル名を正しく読み取れません。"));
        open("replaced", Reason::ReplacedWhileOpening, QStringLiteral("開いている間にファイルが置き換えられました。"));
        open("cannot open", {Reason::CannotOpen, QStringLiteral("I/O error")}, QStringLiteral("ファイルを開けません（I/O error）。"));
        open("folder", Reason::IsFolder, QStringLiteral("フォルダーです。画像ファイルではありません。"));
        remove("folder", Reason::IsFolder, QStringLiteral("フォルダーは削除できません。"));
        open("pipe", Reason::IsPipe, QStringLiteral("名前付きパイプです。画像ファイルではありません。"));
        open("device", Reason::IsDevice, QStringLiteral("デバイスです。画像ファイルではありません。"));
        open("socket", Reason::IsSocket, QStringLiteral("ソケットです。画像ファイルではありません。"));
        remove("not regular", Reason::NotRegularFile, QStringLiteral("通常のファイルではありません。"));
        copy("no destination name", Reason::NoDestinationName, QStringLiteral("コピー先の名前がありません。"));
        copy("destination exists", Reason::DestinationExists, QStringLiteral("コピー先に同じ名前のファイルがあります。"));
        copy("destination exists, named", {Reason::DestinationExists, file + QStringLiteral("コピー")},
             QStringLiteral("コピー先に同じ名前のファイルがあります: %1コピー").arg(shown));
        copy("no destination folder", Reason::NoDestinationFolder, QStringLiteral("コピー先のフォルダーがありません。"));
        copy("no write permission", Reason::NoWritePermission, QStringLiteral("コピー先のフォルダーに書き込む権限がありません。"));
        copy("destination read-only", Reason::DestinationReadOnly, QStringLiteral("コピー先は読み取り専用です。"));
        copy("disk full", Reason::DiskFull, QStringLiteral("ディスクがいっぱいです。"));
        copy("quota", Reason::QuotaExceeded, QStringLiteral("ディスクの使用量の上限を超えました。"));
        copy("file size limit", Reason::FileSizeLimit, QStringLiteral("書き込めるファイルの大きさの上限を超えました。"));
        copy("source unreadable", {Reason::SourceUnreadable, QStringLiteral("x")}, QStringLiteral("元のファイルを読めません（x）。"));
        copy("write failed", {Reason::WriteFailed, QStringLiteral("x")}, QStringLiteral("書き込みに失敗しました（x）。"));
        copy("cannot write destination", {Reason::CannotWriteDestination, QStringLiteral("x")},
             QStringLiteral("コピー先に書き込めません（x）。"));
        copy("cannot name destination", {Reason::CannotNameDestination, QStringLiteral("x")},
             QStringLiteral("コピー先を作れません（x）。"));
        remove("read-only", Reason::ReadOnly, QStringLiteral("読み取り専用のファイルです。"));
        remove("remove failed", {Reason::RemoveFailed, QStringLiteral("Device busy")}, QStringLiteral("Device busy"));
        open("empty", Reason::EmptyFile, QStringLiteral("ファイルが空です。"));
        open("unsupported", Reason::UnsupportedType,
             QStringLiteral("対応していない形式のファイルです（BMP、JPEG、GIF、ICO のみ）。"));
        open("unknown size", Reason::UnknownSize,
             QStringLiteral("画像の大きさを読み取れません（対応していない種類か、壊れたファイルです）。"));
        open("too large", {Reason::TooLarge, QSize(60000, 30000)}, QStringLiteral("画像が大きすぎます（60000 × 30000 ピクセル）。"));
        open("too many scans", {Reason::TooManyScans, QStringLiteral("3001")},
             QStringLiteral("JPEG のスキャンが多すぎます（3001）。ファイルが壊れています。"));
        open("read failed", Reason::ReadFailed, QStringLiteral("ファイルを読み込めません。"));
        open("damaged", Reason::DamagedData, QStringLiteral("画像データが壊れています。"));
        open("decode failed", {Reason::DecodeFailed, QStringLiteral("x")}, QStringLiteral("画像を読み込めません（x）。"));
        open("cannot enter folder", Reason::CannotEnterFolder, QStringLiteral("フォルダーに入れません。"));
        row("no such property", Action::ReadProperty, QString(), {Reason::NoSuchProperty, QStringLiteral("Path")},
            QStringLiteral("プロパティを読めませんでした。\nこのコントロールには Path がありません。"));
        row("not a number", Action::ConvertToNumber, QString(), {Reason::NotANumber, QStringLiteral("1.5")},
            QStringLiteral("数値に変換できませんでした。\n数値ではありません: \"1.5\""));
        row("unsupported keys", Action::SendKeys, QString(), {Reason::UnsupportedKeys, QStringLiteral("{UP}")},
            QStringLiteral("キーを送れませんでした。\n未対応のキーです: {UP}"));
    }

    void failureMessagesAreWordedSo()
    {
        QFETCH(int, action);
        QFETCH(QString, path);
        QFETCH(rt::Failure, failure);
        QFETCH(QString, message);
        const rt::RuntimeError error(rt::Action(action), path, failure);
        QCOMPARE(error.message(), message);
        QCOMPARE(error.reason(), failure.reason);
        QCOMPARE(QString::fromUtf8(error.what()), message);
    }

    void everyReasonIsWorded()
    {
        for (int reason = int(rt::Reason::None) + 1; reason < int(rt::Reason::Other); ++reason)
            QVERIFY2(!rt::reasonText(rt::Action::Open, {rt::Reason(reason), QStringLiteral("x")}).isEmpty(),
                     qPrintable(QString::number(reason)));
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
