// Copying and deleting real files: a copy never replaces anything, never
// leaves a partial file behind and never changes its source; a deletion
// removes exactly the entry named, and names that do not decode faithfully
// are never acted on.
#include "runtime/services/FileOps.h"
#include "runtime/services/Failure.h"
#include "runtime/services/Platform.h"
#include "runtime/forms/controls/FileListBox.h"
#include "support/ChildProcess.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QTest>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace test::hostile;

Q_DECLARE_METATYPE(rt::Reason)

namespace {

// Everything in a folder, hidden entries included.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

rt::Reason reasonOf(const std::function<void()> &operation)
{
    const auto failure = rt::trap(operation);
    return failure ? failure->reason() : rt::Reason::None;
}

// The same in a child process, handed back through its output.
QByteArray reasonInChild(const std::function<void()> &operation)
{
    return QByteArray::number(int(reasonOf(operation)));
}

rt::Reason reasonFrom(const test::ChildResult &child)
{
    return child.kind == test::ChildResult::Finished ? rt::Reason(child.output.toInt()) : rt::Reason::Other;
}

#ifndef Q_OS_WIN  // Windows names are UTF-16: none is left undecoded
bool createRaw(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    const bool ok = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
    ::close(fd);
    return ok;
}
#endif

}  // namespace

class FileOpsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;
    QString source;
    QByteArray original;
    QDateTime originalTime;

    QString path(const QString &name) const { return folder->file(name); }

    void sourceIsUnchanged()
    {
        QCOMPARE(test::contentOf(source), original);
        QCOMPARE(QFileInfo(source).lastModified(), originalTime);
    }

private slots:
    void initTestCase() { test::prepareApplication(); }

    void init()
    {
        folder = std::make_unique<test::Folder>();
        original = jpeg(QSize(600, 400));
        source = write(path(QStringLiteral("花.jpg")), original,
                       QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)).toMSecsSinceEpoch());
        originalTime = QFileInfo(source).lastModified();
    }

#ifndef Q_OS_WIN
    // QTemporaryDir does not see names that are no UTF-8, so cannot remove them.
    void cleanup() { ::unlink(QFile::encodeName(folder->path()) + "/\xff.jpg"); }
#endif

    // A refused copy names its reason and changes nothing: what is in the
    // way stays as it was, nothing is left behind, the source is untouched.
    void refusedCopiesChangeNothing_data()
    {
        QTest::addColumn<QString>("from");  // "." for the source picture, "-" for no name
        QTest::addColumn<QString>("to");
        QTest::addColumn<rt::Reason>("reason");
        const QString source = QStringLiteral("."), none = QStringLiteral("-");
        for (const char *obstacle : {"taken", "dangling", "to-other", "folder", "fifo", "花.jpg"})
            QTest::newRow(obstacle) << source << QString::fromUtf8(obstacle) << rt::Reason::DestinationExists;
        QTest::newRow("from a pipe") << QStringLiteral("fifo") << QStringLiteral("x") << test::kBlockedReason;
#ifdef Q_OS_WIN  // no device files; a device name in a folder names no file
        QTest::newRow("from a device") << QStringLiteral("NUL") << QStringLiteral("x") << rt::Reason::NotFound;
#else
        QTest::newRow("from a device") << QStringLiteral("zero.jpg") << QStringLiteral("x") << rt::Reason::IsDevice;
#endif
        QTest::newRow("from nothing") << QStringLiteral("missing.jpg") << QStringLiteral("x") << rt::Reason::NotFound;
        QTest::newRow("from a folder") << QStringLiteral("folder") << QStringLiteral("x") << rt::Reason::IsFolder;
        QTest::newRow("no source") << none << QStringLiteral("x") << rt::Reason::NoFileGiven;
        QTest::newRow("no destination") << source << none << rt::Reason::NoDestinationName;
        QTest::newRow("no folder") << source << QStringLiteral("no/such/folder/x") << rt::Reason::NoDestinationFolder;
    }

    void refusedCopiesChangeNothing()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(rt::Reason, reason);
        const QString other = write(path(QStringLiteral("other.bmp")), "other");
        const QString taken = write(path(QStringLiteral("taken")), "keep me");
        QVERIFY(QFile::link(path(QStringLiteral("nowhere")), path(QStringLiteral("dangling"))));
        QVERIFY(QFile::link(other, path(QStringLiteral("to-other"))));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.jpg"))));
        QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("folder")));
        QVERIFY(test::makeBlockingFile(path(QStringLiteral("fifo"))));
        const QStringList before = entries(folder->path());
        auto named = [&](const QString &name) {
            return name == QLatin1String(".") ? source : name == QLatin1String("-") ? QString() : path(name);
        };
        // In a child: a copy that reads a pipe or a device would hang or fill the disk.
        const test::ChildResult copy =
            test::runInChild([&] { return reasonInChild([&] { rt::copyFile(named(from), named(to)); }); }, 10000);
        QCOMPARE(reasonFrom(copy), reason);
        QCOMPARE(entries(folder->path()), before);
        QCOMPARE(test::contentOf(taken), QByteArray("keep me"));
        QCOMPARE(test::contentOf(other), QByteArray("other"));
        QCOMPARE(QFileInfo(path(QStringLiteral("dangling"))).isSymLink(), !test::kLinksAreFiles);
        sourceIsUnchanged();
    }

    // copyFile's early check hides the copy's own guard at its last step,
    // the one that holds when another program creates the name meanwhile.
    // A read-only source's temporary copy is read-only too: still removed.
    void theCopyItselfRefusesANameThatAppearedMeanwhile()
    {
        QFile::setPermissions(source, QFile::ReadOwner);
        const QString appeared = write(path(QStringLiteral("appeared")), "created meanwhile");
        QVERIFY(QFile::link(path(QStringLiteral("nowhere")), path(QStringLiteral("dangling"))));
        const QStringList before = entries(folder->path());
        for (const QString &name : {QStringLiteral("appeared"), QStringLiteral("dangling")}) {
            QFile in;
            QVERIFY(!rt::platform::openRegularFile(in, source));
            const rt::Failure refused = rt::platform::createCopy(in, path(name));
            QVERIFY2(refused.reason == rt::Reason::DestinationExists, qPrintable(name));
        }
        QCOMPARE(entries(folder->path()), before);  // nothing replaced, nothing left behind
        QCOMPARE(test::contentOf(appeared), QByteArray("created meanwhile"));
        QCOMPARE(QFileInfo(path(QStringLiteral("dangling"))).isSymLink(), !test::kLinksAreFiles);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("nowhere"))));
        sourceIsUnchanged();
    }

    void copyIsWholeAndKeepsThePermissions()
    {
        QFile::setPermissions(source, QFile::ReadOwner | QFile::ReadGroup);
        originalTime = QFileInfo(source).lastModified();
        const QString copy = source + QStringLiteral("コピー");
        rt::copyFile(source, copy);
        QCOMPARE(test::contentOf(copy), original);
#ifdef Q_OS_WIN
        QVERIFY(rt::platform::isReadOnly(copy));  // the one permission Windows keeps
#else
        struct stat status;
        QVERIFY(::stat(QFile::encodeName(copy).constData(), &status) == 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0440));
#endif
        sourceIsUnchanged();

        // Through a link: the copy is a file with the target's content.
        QVERIFY(QFile::link(source, path(QStringLiteral("link.jpg"))));
        rt::copyFile(path(QStringLiteral("link.jpg")), path(QStringLiteral("from-link")));
        QVERIFY(!QFileInfo(path(QStringLiteral("from-link"))).isSymLink());
        QCOMPARE(test::contentOf(path(QStringLiteral("from-link"))),
                 test::kLinksAreFiles ? test::contentOf(path(QStringLiteral("link.jpg"))) : original);

        const QString empty = write(path(QStringLiteral("empty.bmp")), QByteArray());
        rt::copyFile(empty, empty + QStringLiteral("コピー"));
        QCOMPARE(QFileInfo(empty + QStringLiteral("コピー")).size(), 0);
    }

    // After each block of 1 MB, the copy tells the bytes copied so far and the
    // source's size: the progress dialog shows both.
    void copyTellsItsProgressAfterEachBlock_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QList<qint64>>("told");
        QTest::newRow("empty") << qint64(0) << QList<qint64>{};
        QTest::newRow("a byte") << qint64(1) << QList<qint64>{1};
        QTest::newRow("a block and a byte") << qint64((1 << 20) + 1) << QList<qint64>{1 << 20, (1 << 20) + 1};
    }

    void copyTellsItsProgressAfterEachBlock()
    {
        QFETCH(qint64, size);
        QFETCH(QList<qint64>, told);
        const QString from = write(path(QStringLiteral("from.bmp")), QByteArray(size, 'x'));
        QList<qint64> copied, totals;
        rt::copyFile(from, from + QStringLiteral("コピー"), [&](qint64 done, qint64 total) {
            copied.append(done);
            totals.append(total);
        });
        QCOMPARE(copied, told);
        QCOMPARE(totals, QList<qint64>(told.size(), size));
    }

#ifndef Q_OS_WIN  // no file-size limit to make a write fail
    void copyThatFailsPartWayLeavesNothingBehind()
    {
        const QString big = write(path(QStringLiteral("big.bmp")), QByteArray(3 << 20, 'x'));
        const QStringList before = entries(folder->path());
        // A file-size limit makes writing fail at 1 MB, as a full disk would.
        const test::ChildResult copy = test::runInChild([&] {
            rt::platform::prepareProcess();
            const rlimit limit{1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            return reasonInChild([&] { rt::copyFile(big, big + QStringLiteral("コピー")); });
        });
        QCOMPARE(reasonFrom(copy), rt::Reason::FileSizeLimit);
        QCOMPARE(entries(folder->path()), before);  // no partial copy, no temporary file
        QCOMPARE(QFileInfo(big).size(), qint64(3 << 20));
    }
#endif

    void deleteRemovesExactlyTheEntryNamed()
    {
        QCOMPARE(reasonOf([&] { rt::deleteFile(path(QStringLiteral("missing.jpg"))); }), rt::Reason::NotFound);
        QCOMPARE(reasonOf([] { rt::deleteFile(QString()); }), rt::Reason::NoFileGiven);

        // Read-only is judged from the bits: as root a write would succeed.
        QFile::setPermissions(source, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QCOMPARE(reasonOf([&] { rt::deleteFile(source); }), rt::Reason::ReadOnly);
        QVERIFY(QFileInfo::exists(source));

        // Links go as links, whatever they point at.
        QVERIFY(QFile::link(source, path(QStringLiteral("to-readonly.jpg"))));
        QVERIFY(QDir(folder->path()).mkpath(QStringLiteral("dir/inner")));
        QVERIFY(QFile::link(path(QStringLiteral("dir")), path(QStringLiteral("to-dir.jpg"))));
        QVERIFY(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling.jpg"))));
        for (const QString &link :
             {QStringLiteral("to-readonly.jpg"), QStringLiteral("to-dir.jpg"), QStringLiteral("dangling.jpg")}) {
            rt::deleteFile(path(link));
            QVERIFY(!QFileInfo(path(link)).isSymLink());
        }
        QVERIFY(QFileInfo::exists(source));
        QVERIFY(QFileInfo::exists(path(QStringLiteral("dir/inner"))));

        // Folders and special files are no pictures to delete.
        QVERIFY(test::makeBlockingFile(path(QStringLiteral("fifo.jpg"))));
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::deleteFile(path(QStringLiteral("dir"))));
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::deleteFile(path(QStringLiteral("fifo.jpg"))));
        QVERIFY(QFileInfo(path(QStringLiteral("fifo.jpg"))).exists());

#ifndef Q_OS_WIN
        // One name of a file with two goes; the other keeps the content.
        QVERIFY(::link(QFile::encodeName(source).constData(),
                       QFile::encodeName(path(QStringLiteral("second.jpg"))).constData())
                == 0);
        QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner);
        rt::deleteFile(source);
        QCOMPARE(test::contentOf(path(QStringLiteral("second.jpg"))), original);
#endif

        // A picture the program is reading (a thumbnail being made) still goes.
        const QString reading = write(path(QStringLiteral("reading.jpg")), "being read");
        {
            QFile open;
            QVERIFY(!rt::platform::openRegularFile(open, reading));
            rt::deleteFile(reading);
        }
        QVERIFY(!QFileInfo::exists(reading));
    }

#ifndef Q_OS_WIN
    void namesThatDoNotDecodeFaithfullyAreNeverActedOn()
    {
        const QByteArray dir = QFile::encodeName(folder->path());
        const QString lookalike = path(QStringLiteral("\uFFFD.jpg"));
        rt::FileListBox list;

        // Bytes that are no UTF-8: not listed, and their lossy name names nothing.
        QVERIFY(createRaw(dir + "/\xff.jpg", original));
        list.setPath(folder->path());
        QTRY_VERIFY(!list.isListing());
        QCOMPARE(list.listCount(), 1);  // 花.jpg only
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::deleteFile(lookalike));
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::copyFile(lookalike, lookalike + QStringLiteral("コピー")));

        // A real U+FFFD in a name is a name like any other...
        QVERIFY(::unlink(dir + "/\xff.jpg") == 0);
        write(lookalike, "real");
        QVERIFY(rt::platform::isFaithfulName(folder->path(), QStringLiteral("\uFFFD.jpg")));
        rt::copyFile(lookalike, lookalike + QStringLiteral("コピー"));
        rt::deleteFile(lookalike + QStringLiteral("コピー"));
        // ...until another entry decodes to the same text: then neither is touched.
        QVERIFY(createRaw(dir + "/\xff.jpg", original));
        QVERIFY(!rt::platform::isFaithfulName(folder->path(), QStringLiteral("\uFFFD.jpg")));
        list.Refresh();
        QTRY_VERIFY(!list.isListing());
        QCOMPARE(list.listCount(), 1);
        QVERIFY_THROWS_EXCEPTION(rt::RuntimeError, rt::deleteFile(lookalike));
        QCOMPARE(test::contentOf(lookalike), QByteArray("real"));
        QVERIFY(::access(dir + "/\xff.jpg", F_OK) == 0);
    }
#endif
};

QTEST_MAIN(FileOpsTest)
#include "tst_fileops.moc"
