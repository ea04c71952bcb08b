// The main window and the About window as a user first meets them.
#include "about/Form7.h"
#include "app/Form1.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/forms/controls/DriveListBox.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "runtime/forms/controls/PictureBox.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
        QCOMPARE(QRect(main.client()->mapToGlobal(QPoint(0, 0)), main.client()->size()), QRect(181, 157, 353, 248));
        QCOMPARE(main.minimumSize(), main.maximumSize());
        QCOMPARE(main.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
                 Qt::WindowMinimizeButtonHint);
        QCOMPARE(main.client()->palette().color(QPalette::Window), QColor(192, 192, 192));
        QCOMPARE(main.windowIcon().availableSizes().value(0), QSize(64, 64));
    }

    void slotsStartFreeWithTheirBadgeOnTop()
    {
        Form1 &main = form1();
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

    void startsInTheCurrentFolderWithOnlyPicturesAndAllChecked()
    {
        Form1 &main = form1();
        QVERIFY(test::listed());
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
            QCOMPARE(QRect(about->client()->mapToGlobal(QPoint(0, 0)), about->client()->size()), QRect(206, 173, 272, 92));
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
