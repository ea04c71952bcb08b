// The main window and the About window as a user first meets them.
#include "about/Form7.h"
#include "app/Form1.h"
#include "runtime/controls/DirListBox.h"
#include "runtime/controls/DriveListBox.h"
#include "runtime/controls/FileListBox.h"
#include "runtime/controls/ImageBox.h"
#include "runtime/controls/PictureBox.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

class MainWindowTest : public QObject
{
    Q_OBJECT
    test::Folder folder;

private slots:
    void initTestCase()
    {
        test::prepareApplication();
        folder.picture(QStringLiteral("b.bmp"));
        folder.picture(QStringLiteral("a.jpg"));
        folder.picture(QStringLiteral("c.ico"), QSize(32, 32));
        folder.text(QStringLiteral("d.txt"));
        folder.text(QStringLiteral("e.png"));
        QDir::setCurrent(folder.path());
        form1().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form1()));
    }

    void windowHasItsDesignedPlaceAndFixedSize()
    {
        Form1 &main = form1();
        QCOMPARE(main.windowTitle(), QStringLiteral("Pixmoor"));
        QCOMPARE(QRect(main.client()->mapToGlobal(QPoint(0, 0)), main.client()->size()), QRect(181, 157, 353, 248));
        QCOMPARE(main.minimumSize(), main.maximumSize());
        QCOMPARE(main.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
                 Qt::WindowMinimizeButtonHint);
        QCOMPARE(main.client()->palette().color(QPalette::Window), QColor(192, 192, 192));
        QCOMPARE(main.windowIcon().availableSizes().value(0), QSize(64, 64));
    }

    void controlsSitWhereTheDesignPutsThem()
    {
        // Twips / 15: the design table in device-independent pixels.
        const std::pair<const char *, QRect> design[] = {
            {"Text1", {168, 0, 177, 18}},     {"Label5", {128, 0, 41, 17}},
            {"Drive1", {8, 8, 113, 20}},      {"Dir1", {8, 32, 113, 90}},      {"File1", {8, 128, 113, 114}},
            {"Image1", {128, 24, 105, 105}},  {"Image2", {240, 24, 105, 105}},
            {"Image3", {128, 136, 105, 105}}, {"Image4", {240, 136, 105, 105}},
            {"Picture1", {128, 24, 23, 23}},  {"Picture2", {240, 24, 23, 23}},
            {"Picture3", {128, 136, 23, 23}}, {"Picture4", {240, 136, 23, 23}},
            {"Label1", {160, 32, 65, 17}},    {"Label2", {272, 32, 65, 17}},
            {"Label3", {160, 144, 65, 17}},   {"Label4", {272, 144, 65, 17}}};
        Form1 &main = form1();
        for (const auto &[name, rect] : design) {
            const QWidget *control = main.client()->findChild<QWidget *>(QLatin1String(name));
            QVERIFY2(control, name);
            QCOMPARE(control->geometry(), rect);
        }
        QCOMPARE(main.Label5->text(), QStringLiteral("場所 ："));
        for (int k = 1; k <= 4; ++k) {
            const PreviewSlot &slot = main.previewSlots[k];
            QVERIFY(slot.image->picture().isEmpty() && slot.label->text().isEmpty() && !slot.label->isVisible());
            QCOMPARE(slot.badge->picture().image().size(), QSize(20, 20));
            // The badge lies above the image: a press there reaches the badge.
            QCOMPARE(main.client()->childAt(slot.image->pos() + QPoint(5, 5)), slot.badge);
        }
        QVERIFY(main.Text1->text().isEmpty());
        QCOMPARE(main.previewSlots.slotNo, 0);
    }

    void badgesShowTheirDigitOnDarkGrey()
    {
        const QImage badge = form1().Picture3->picture().image();
        QCOMPARE(badge.pixelColor(0, 0), QColor(64, 64, 64));
        int white = 0;
        for (int y = 0; y < badge.height(); ++y)
            for (int x = 0; x < badge.width(); ++x)
                white += badge.pixelColor(x, y) == QColor(Qt::white);
        QVERIFY(white > 10);
    }

    void tabOrderRunsThroughThePanesBadgesAndPathBox()
    {
        Form1 &main = form1();
        QCOMPARE(QApplication::focusWidget(), main.Drive1);
        const QList<QWidget *> order = {main.Dir1, main.File1, main.Picture1, main.Picture2,
                                        main.Picture3, main.Picture4, main.Text1};
        for (QWidget *next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void menuBarShowsOnlyFileAndHelp()
    {
        const auto captions = [](const QList<QAction *> &items) {
            QStringList texts;
            for (QAction *item : items)
                texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
            return texts.join(QLatin1Char('|'));
        };
        Form1 &main = form1();
        QCOMPARE(captions(main.menuBar()->actions()), QStringLiteral("ﾌｧｲﾙ|ﾍﾙﾌﾟ"));
        QCOMPARE(captions(main.mnuFile->actions()), QStringLiteral("終了"));
        QCOMPARE(captions(main.help->actions()), QStringLiteral("バージョン情報"));
        QCOMPARE(captions(main.popup->actions()), QStringLiteral("クリア|オールクリア|-|削除|コピー|-|大画面表示"));
        QCOMPARE(captions(main.popup2->actions()), QStringLiteral("一覧表示|-|ALL|bmp|jpg|gif|ico"));
    }

    void startsInTheCurrentFolderWithOnlyPicturesAndAllChecked()
    {
        Form1 &main = form1();
        QCOMPARE(main.File1->pattern(), QStringLiteral("*.ico;*.gif;*.jpg;*.bmp"));
        QCOMPARE(main.File1->path(), folder.path());
        QCOMPARE(main.Dir1->path(), folder.path());
        QStringList listed;
        for (int i = 0; i < main.File1->listCount(); ++i)
            listed << main.File1->item(i)->text();
        QCOMPARE(listed, QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.bmp"), QStringLiteral("c.ico")}));
        QVERIFY(main.all->isChecked());
        for (QAction *other : {main.bmp, main.jpg, main.gif, main.ico, main.max})
            QVERIFY(!other->isChecked());
    }

    void japaneseCaptionsHaveAJapaneseFont()
    {
        const QFontInfo info(form1().Label5->font());
        QVERIFY2(info.family().contains(QStringLiteral("Gothic"), Qt::CaseInsensitive)
                     || info.family().contains(QStringLiteral("CJK")),
                 qPrintable(info.family()));
        QVERIFY(info.bold());
    }

    void aboutWindowIsModalAndShowsItsDesign()
    {
        Form1 &main = form1();
        bool checked = false;
        test::whenModal([&](QWidget *modal) {
            auto *about = qobject_cast<Form7 *>(modal);
            QVERIFY(about);
            QCOMPARE(about->windowTitle(), QStringLiteral("バージョン情報"));
            QCOMPARE(QRect(about->client()->mapToGlobal(QPoint(0, 0)), about->client()->size()), QRect(206, 173, 272, 92));
            QCOMPARE(QStringList({about->Label1->text(), about->Label2->text(), about->Label3->text()}),
                     QStringList({QStringLiteral("Pixmoor"), QStringLiteral("V1.3"), QStringLiteral("05/15/98 Tolvane")}));
            QCOMPARE(about->Label1->palette().color(QPalette::WindowText), QColor(128, 128, 255));
            QVERIFY(about->Label1->font().italic() && about->Label1->font().bold());
            QCOMPARE(about->Picture1->picture().image().size(), QSize(100, 40));
            QVERIFY(about->windowFlags() & Qt::Tool);
            QCOMPARE(QApplication::focusWidget(), about->Picture1);
            checked = true;
            about->close();
        });
        main.var->trigger();
        QVERIFY(checked);
        QVERIFY(!rt::Form::ifLoaded<Form7>());
    }

    void everyControlHasAnAccessibleName()
    {
        for (QWidget *control : form1().client()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!control->isVisible())
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(control->objectName()));
        }
        QCOMPARE(form1().Image2->objectName(), QStringLiteral("Image2"));
    }

    void exitAndCloseBoxBothEndTheProgram()
    {
        test::takeEndRequests();
        form1().mnuExit->trigger();
        QCOMPARE(test::takeEndRequests(), 1);
        form1().close();
        QCOMPARE(test::takeEndRequests(), 1);
        QVERIFY(form1().isVisible());  // the test's hook kept it alive
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
