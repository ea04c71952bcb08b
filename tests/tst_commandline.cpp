// Starting the program from the command line: the options, where the panes
// start, which pictures reach the slots and what the user is told.
#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/StartPlace.h"
#include "app/Startup.h"
#include "runtime/controls/DirListBox.h"
#include "runtime/controls/FileListBox.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QProcess>
#include <QTest>

Q_DECLARE_METATYPE(CommandLine::Action)

class CommandLineTest : public QObject
{
    Q_OBJECT
    test::Folder folder;     // the pictures
    test::Folder elsewhere;  // where the program is started from
    QString started;

    QString picture(const QString &name) { return folder.file(name); }
    Form1 &main() { return form1(); }

    // The program itself, run without any display; what it printed and how it ended.
    struct Run { int exitCode; QByteArray out, err; };
    Run runProgram(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(PIXMOOR_PROGRAM), arguments);
        if (!program.waitForFinished(30000)) {
            program.kill();
            program.waitForFinished();
            return {-1, {}, "did not end"};
        }
        const int code = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        return {code, program.readAllStandardOutput(), program.readAllStandardError()};
    }

private slots:
    void initTestCase()
    {
        test::prepareApplication();
        folder.picture(QStringLiteral("赤 い.jpg"), QSize(64, 48), Qt::red);
        folder.picture(QStringLiteral("b.bmp"), QSize(40, 40), Qt::green);
        folder.picture(QStringLiteral("c.ico"), QSize(32, 32), Qt::blue);
        folder.picture(QStringLiteral("d.jpg"), QSize(30, 20), Qt::yellow);
        folder.picture(QStringLiteral("e.bmp"));
        folder.picture(QStringLiteral("f.bmp"));
        folder.text(QStringLiteral("notes.jpg"));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("写真 集")));
        started = elsewhere.path();
    }

    void init() { QVERIFY(QDir::setCurrent(started)); }

    void cleanup()
    {
        test::unloadAllWindows();
        test::takeMessages();
    }

    void optionsAndPaths_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QStringList>("paths");
        const QString spaced = QStringLiteral("写真 集/赤 い.jpg");
        QTest::newRow("nothing") << QStringList{} << CommandLine::Start << QStringList{};
        QTest::newRow("paths") << QStringList{spaced, QStringLiteral("b.bmp")} << CommandLine::Start
                               << QStringList{spaced, QStringLiteral("b.bmp")};
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << CommandLine::ShowHelp << QStringList{};
        QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << CommandLine::ShowHelp << QStringList{};
        QTest::newRow("--version after a path") << QStringList{QStringLiteral("a.jpg"), QStringLiteral("--version")}
                                                << CommandLine::ShowVersion << QStringList{QStringLiteral("a.jpg")};
        QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << CommandLine::ShowVersion << QStringList{};
        QTest::newRow("unknown") << QStringList{QStringLiteral("--slideshow")} << CommandLine::Misuse << QStringList{};
        QTest::newRow("unknown short") << QStringList{QStringLiteral("-x"), QStringLiteral("a.jpg")}
                                       << CommandLine::Misuse << QStringList{QStringLiteral("a.jpg")};
        QTest::newRow("short options do not combine") << QStringList{QStringLiteral("-hv")} << CommandLine::Misuse
                                                      << QStringList{};
        QTest::newRow("a name starting with a dash")
            << QStringList{QStringLiteral("--"), QStringLiteral("-1.jpg")} << CommandLine::Start
            << QStringList{QStringLiteral("-1.jpg")};
        QTest::newRow("Qt's own options")
            << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("--style=fusion"),
                           QStringLiteral("a.jpg")}
            << CommandLine::Start << QStringList{QStringLiteral("a.jpg")};
    }

    void optionsAndPaths()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QStringList, paths);
        const CommandLine line = readCommandLine(QStringList{QStringLiteral("/usr/bin/pixmoor")} + arguments);
        QCOMPARE(line.action, action);
        QCOMPARE(line.program, QStringLiteral("pixmoor"));
        if (action == CommandLine::Start)
            QCOMPARE(line.paths, paths);
        QCOMPARE(line.error.isEmpty(), action != CommandLine::Misuse);
    }

    void helpAndVersionNeedNoDisplay()
    {
        const Run version = runProgram({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QByteArray("Pixmoor " PIXMOOR_VERSION "\n"));
        QCOMPARE(version.err, QByteArray());

        const Run help = runProgram({QStringLiteral("-h")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY2(help.out.startsWith("Usage: pixmoor [options] [folder | picture...]\n"), help.out.constData());
        QVERIFY(help.out.contains("--version"));
        QCOMPARE(help.err, QByteArray());

        const Run misuse = runProgram({QStringLiteral("--slideshow"), QStringLiteral("a.jpg")});
        QCOMPARE(misuse.exitCode, 2);
        QCOMPARE(misuse.out, QByteArray());
        QCOMPARE(misuse.err, QByteArray("pixmoor: Unknown option 'slideshow'.\n"
                                         "Usage: pixmoor [options] [folder | picture...]\n"
                                         "Try 'pixmoor --help' for more.\n"));
    }

    void planForAFolderAndForFiles()
    {
        // A folder, relative to where the program starts: the panes start there.
        StartPlan plan = planStart({QStringLiteral("写真 集")}, folder.path());
        QCOMPARE(plan.folder, folder.file(QStringLiteral("写真 集")));
        QVERIFY(plan.steps.isEmpty());

        // Files: the first one's folder, every file in the order given.
        plan = planStart({QStringLiteral("../d.jpg"), picture(QStringLiteral("赤 い.jpg"))},
                         folder.file(QStringLiteral("写真 集")));
        QCOMPARE(plan.folder, folder.path());
        QCOMPARE(plan.steps.size(), 2);
        QCOMPARE(plan.steps[0].path, picture(QStringLiteral("d.jpg")));
        QCOMPARE(plan.steps[1].path, picture(QStringLiteral("赤 い.jpg")));
        QVERIFY(plan.steps[0].refusal.isEmpty() && plan.steps[1].refusal.isEmpty());
    }

    void planForPathsThatCannotBeUsed()
    {
        // Missing: refused, and the panes stay where they are.
        StartPlan plan = planStart({QStringLiteral("no such/x.jpg")}, folder.path());
        QVERIFY(plan.folder.isEmpty());
        QCOMPARE(plan.steps.size(), 1);
        QCOMPARE(plan.steps[0].path, folder.file(QStringLiteral("no such/x.jpg")));
        QVERIFY(plan.steps[0].refusal.contains(QStringLiteral("見つかりません")));

        // The first usable path decides the folder; a second folder is refused,
        // files from any folder still open.
        plan = planStart({QStringLiteral("gone.bmp"), elsewhere.path(), QStringLiteral("b.bmp"), QStringLiteral(".")},
                         folder.path());
        QCOMPARE(plan.folder, elsewhere.path());
        QCOMPARE(plan.steps.size(), 3);
        QVERIFY(!plan.steps[0].refusal.isEmpty());
        QCOMPARE(plan.steps[1].path, picture(QStringLiteral("b.bmp")));
        QVERIFY(plan.steps[1].refusal.isEmpty());
        QCOMPARE(plan.steps[2].path, folder.path());
        QCOMPARE(plan.steps[2].refusal, QStringLiteral("フォルダーは1つしか開けません。"));
    }

    void startsInTheFilesFolderWithTheFilesInSlots()
    {
        // Relative paths from the folder the program was started in.
        const QString relative = QDir(started).relativeFilePath(folder.path());
        startProgram({relative + QStringLiteral("/赤 い.jpg"), relative + QStringLiteral("/c.ico")});
        QVERIFY(QTest::qWaitForWindowExposed(&main()));
        QCOMPARE(test::takeMessages(), QStringList());
        QCOMPARE(main().Dir1->path(), folder.path());
        QCOMPARE(main().File1->path(), folder.path());
        QCOMPARE(main().previewSlots.path(1), picture(QStringLiteral("赤 い.jpg")));
        QCOMPARE(main().previewSlots.path(2), picture(QStringLiteral("c.ico")));
        QVERIFY(!main().previewSlots.isFree(1) && !main().previewSlots.isFree(2));
        QVERIFY(main().previewSlots.isFree(3) && main().previewSlots.isFree(4));
        QCOMPARE(main().Text1->text(), picture(QStringLiteral("c.ico")));
        QVERIFY(main().File1->listCount() > 0);
    }

    void startsInAFolder()
    {
        startProgram({folder.file(QStringLiteral("写真 集"))});
        QCOMPARE(test::takeMessages(), QStringList());
        QCOMPARE(main().File1->path(), folder.file(QStringLiteral("写真 集")));
        QCOMPARE(main().File1->listCount(), 0);
        QCOMPARE(main().previewSlots.firstFree(), 1);
    }

    void aFileThatCannotOpenIsToldAsForADoubleClick()
    {
        startProgram({picture(QStringLiteral("b.bmp")), QStringLiteral("gone.jpg"), picture(QStringLiteral("notes.jpg")),
                      picture(QStringLiteral("d.jpg"))});
        // In the order given.
        const QStringList told = test::takeMessages();
        QCOMPARE(told.size(), 2);
        QVERIFY(told[0].startsWith(QStringLiteral("「%1」").arg(QDir(started).filePath(QStringLiteral("gone.jpg")))));
        QVERIFY(told[1].contains(picture(QStringLiteral("notes.jpg"))));
        QCOMPARE(main().previewSlots.path(1), picture(QStringLiteral("b.bmp")));
        QCOMPARE(main().previewSlots.path(2), picture(QStringLiteral("d.jpg")));
        QVERIFY(main().previewSlots.isFree(3));
        QVERIFY(QTest::qWaitForWindowExposed(&main()));

        // The user double-clicks the same file: word for word the same message.
        const auto found = main().File1->findItems(QStringLiteral("notes.jpg"), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        test::doubleClick(main().File1->viewport(), main().File1->visualItemRect(found.first()).center());
        QCOMPARE(test::takeMessages(), QStringList{told[1]});
        QVERIFY(main().previewSlots.isFree(3));
    }

    void moreThanFourOpenFourAndTell()
    {
        QStringList six;
        for (const char *name : {"赤 い.jpg", "b.bmp", "c.ico", "d.jpg", "e.bmp", "f.bmp"})
            six.append(picture(QString::fromUtf8(name)));
        startProgram(six);
        for (int k = 1; k <= 4; ++k)
            QCOMPARE(main().previewSlots.path(k), six[k - 1]);
        QCOMPARE(main().Text1->text(), six[3]);
        const QStringList told = test::takeMessages();
        QCOMPARE(told.size(), 1);
        QCOMPARE(told[0], QStringLiteral("次の画像は開きませんでした：e.bmp、f.bmp\n"
                                         "スロットには1つずつ、4つまでの画像を開けます。"));
    }

    void aMissingPathIsToldAndTheProgramStartsAsWithout()
    {
        const QString missing = folder.file(QStringLiteral("写真 集/なし.jpg"));
        startProgram({missing});
        QCOMPARE(test::takeMessages(),
                 QStringList{QStringLiteral("「%1」を開けませんでした。\nファイルまたはフォルダーが見つかりません。")
                                 .arg(missing)});
        QCOMPARE(QDir::toNativeSeparators(QDir::currentPath()), started);
        QCOMPARE(main().File1->path(), started);
        QCOMPARE(main().previewSlots.firstFree(), 1);
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
