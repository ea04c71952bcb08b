// Starting the program from the command line: the options, where the panes
// start, which pictures reach the slots and what the user is told.
#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/StartPlace.h"
#include "program/Startup.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/forms/controls/FileListBox.h"
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
    // Resolved before any test changes the current folder (the build tree's
    // drive under Wine is not the temporary folders').
    const QString program = QFileInfo(QStringLiteral(PIXMOOR_PROGRAM)).absoluteFilePath();

    QString picture(const QString &name) { return folder.file(name); }
    Form1 &main() { return form1(); }

    // The program itself, run without any display; what it printed and how it ended.
    struct Run
    {
        int exitCode;
        QByteArray out, err;
    };
    Run runProgram(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(this->program, arguments);
        if (!program.waitForFinished(30000)) {
            program.kill();
            program.waitForFinished();
            return {-1, {}, "did not end"};
        }
        const int code = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        // Windows ends a printed line with "\r\n" and names the program pixmoor.exe.
        auto plain = [](QByteArray text) { return text.replace("\r\n", "\n").replace("pixmoor.exe", "pixmoor"); };
        return {code, plain(program.readAllStandardOutput()), plain(program.readAllStandardError())};
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
        QTest::newRow("short options do not combine")
            << QStringList{QStringLiteral("-hv")} << CommandLine::Misuse << QStringList{};
        QTest::newRow("a name starting with a dash") << QStringList{QStringLiteral("--"), QStringLiteral("-1.jpg")}
                                                     << CommandLine::Start << QStringList{QStringLiteral("-1.jpg")};
        QTest::newRow("Qt's own options") << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"),
                                                         QStringLiteral("--style=fusion"), QStringLiteral("a.jpg")}
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
        // The formats of runtime/pictures/PictureFormats.table, within the help's width.
        QVERIFY2(help.out.contains("a second folder, a file that is not a BMP, JPEG, GIF or ICO\npicture and the"),
                 help.out.constData());
        for (const QByteArray &line : help.out.split('\n'))
            QVERIFY2(line.size() <= 80, line.constData());
        QCOMPARE(help.err, QByteArray());

        const Run misuse = runProgram({QStringLiteral("--slideshow"), QStringLiteral("a.jpg")});
        QCOMPARE(misuse.exitCode, 2);
        QCOMPARE(misuse.out, QByteArray());
        QCOMPARE(misuse.err,
                 QByteArray("pixmoor: Unknown option 'slideshow'.\n"
                            "Usage: pixmoor [options] [folder | picture...]\n"
                            "Try 'pixmoor --help' for more.\n"));
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

    // Started on the arguments, relative to where the program starts: where
    // the panes show, what slots 1 to 4 hold and what the user is told.
    void startsWhereTheArgumentsSay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("panes");
        QTest::addColumn<QStringList>("filled");
        QTest::addColumn<QStringList>("told");
        const QString relative = QDir(started).relativeFilePath(folder.path());
        QTest::newRow("files from elsewhere")
            << QStringList{relative + QStringLiteral("/赤 い.jpg"), relative + QStringLiteral("/c.ico")}
            << folder.path() << QStringList{picture(QStringLiteral("赤 い.jpg")), picture(QStringLiteral("c.ico"))}
            << QStringList();
        QTest::newRow("a folder") << QStringList{folder.file(QStringLiteral("写真 集"))}
                                  << folder.file(QStringLiteral("写真 集")) << QStringList() << QStringList();
        QStringList six;
        for (const char *name : {"赤 い.jpg", "b.bmp", "c.ico", "d.jpg", "e.bmp", "f.bmp"})
            six.append(picture(QString::fromUtf8(name)));
        QTest::newRow("more than four") << six << folder.path() << six.mid(0, 4)
                                        << QStringList{
                                               QStringLiteral("次の画像は開きませんでした：e.bmp、f.bmp\n"
                                                              "スロットには1つずつ、4つまでの画像を開けます。")};
        const QString missing = folder.file(QStringLiteral("写真 集/なし.jpg"));
        QTest::newRow("a missing path")
            << QStringList{missing} << started << QStringList()
            << QStringList{QStringLiteral("「%1」を開けませんでした。\nファイルまたはフォルダーが見つかりません。")
                               .arg(missing)};
    }

    void startsWhereTheArgumentsSay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, panes);
        QFETCH(QStringList, filled);
        QFETCH(QStringList, told);
        startProgram(arguments);
        // The pictures load off the interface thread; what is told waits for them.
        if (!filled.isEmpty())
            QVERIFY(test::takeMessages().isEmpty() && main().previewSlots.isFree(1));
        test::landJobs();
        QVERIFY(QTest::qWaitForWindowExposed(&main()));
        QCOMPARE(test::takeMessages(), told);
        QCOMPARE(main().Dir1->path(), panes);
        QCOMPARE(main().File1->path(), panes);
        for (int k = 1; k <= 4; ++k) {
            QCOMPARE(main().previewSlots.path(k), filled.value(k - 1));
            QCOMPARE(main().previewSlots.isFree(k), k > filled.size());
        }
        QCOMPARE(main().Text1->text(), filled.value(filled.size() - 1));
    }

    void aFileThatCannotOpenIsToldAsForADoubleClick()
    {
        startProgram({picture(QStringLiteral("b.bmp")), QStringLiteral("gone.jpg"),
                      picture(QStringLiteral("notes.jpg")), picture(QStringLiteral("d.jpg"))});
        test::landJobs();
        // In the order given; the picture that failed left its slot to the next.
        const QStringList told = test::takeMessages();
        QCOMPARE(told.size(), 2);
        QVERIFY(told[0].startsWith(QStringLiteral("「%1」").arg(
            QDir::toNativeSeparators(QDir(started).filePath(QStringLiteral("gone.jpg"))))));
        QVERIFY(told[1].contains(picture(QStringLiteral("notes.jpg"))));
        QCOMPARE(main().previewSlots.path(1), picture(QStringLiteral("b.bmp")));
        QCOMPARE(main().previewSlots.path(2), picture(QStringLiteral("d.jpg")));
        QVERIFY(main().previewSlots.isFree(3));
        QVERIFY(QTest::qWaitForWindowExposed(&main()));

        // The user double-clicks the same file: word for word the same message.
        test::openFile(QStringLiteral("notes.jpg"));
        QCOMPARE(test::takeMessages(), QStringList{told[1]});
        QVERIFY(main().previewSlots.isFree(3));
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
