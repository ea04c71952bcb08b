// Every picture of two public test suites through the loader, each decoded in
// a child process: good files load at their stated size, the others load or
// are refused cleanly, and none crashes, hangs or runs away with memory. Each
// file is decoded at full size and as a thumbnail.
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

namespace {

const QSize kThumbnail(65, 65);
constexpr qint64 kMaxGrowthMiB = 64;  // the suites' pictures are small

QString corpusFolder(const QString &suite)
{
    const QString folder = QStringLiteral(PIXMOOR_CORPUS_DIR "/") + suite;
    return QDir(folder).exists() ? folder : QString();
}

// The size a GIF suite test expects, and whether it expects a picture at all
// (tests of invalid files list no frames).
struct GifExpectation
{
    QSize size;
    bool valid = false;
};

GifExpectation readConf(const QString &path)
{
    GifExpectation expected;
    QFile conf(path);
    if (!conf.open(QIODevice::ReadOnly | QIODevice::Text))
        return expected;
    int width = -1, height = -1;
    while (!conf.atEnd()) {
        const QList<QByteArray> pair = conf.readLine().split('=');
        if (pair.size() != 2)
            continue;
        const QByteArray key = pair[0].trimmed(), value = pair[1].trimmed();
        if (key == "width")
            width = value.toInt();
        else if (key == "height")
            height = value.toInt();
        else if (key == "frames")
            expected.valid = !value.isEmpty();
    }
    expected.size = QSize(width, height);
    return expected;
}

} // namespace

class LoaderCorpusTest : public QObject
{
    Q_OBJECT
    int tried = 0, loaded = 0, refused = 0;

    void addRows(const QString &path, QSize expected)
    {
        const QString name = QDir(corpusFolder(QString())).relativeFilePath(path);
        QTest::newRow(qPrintable(name)) << path << expected << QSize();
        QTest::newRow(qPrintable(name + QStringLiteral(" thumbnail"))) << path << expected << kThumbnail;
    }

    void addColumns()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("expected");  // invalid: may be refused
        QTest::addColumn<QSize>("fill");
    }

    void decodeAndCheck()
    {
        QFETCH(QString, path);
        QFETCH(QSize, expected);
        QFETCH(QSize, fill);
        if (path.isEmpty())
            QSKIP("the picture corpora are not beside the repository");
        const test::Outcome outcome = test::decodeInChild(path, fill);
        const QByteArray told = outcome.describe().toUtf8();
        if (!fill.isValid()) {
            ++tried;
            ++(outcome.kind == test::Outcome::Loaded ? loaded : refused);
        }
        QVERIFY2(outcome.clean(), told);
        QVERIFY2(outcome.milliseconds < test::kPromptMs, told);
        QVERIFY2(outcome.grownMiB < kMaxGrowthMiB, told);
        if (outcome.kind == test::Outcome::Refused)
            QVERIFY2(!outcome.error.isEmpty(), told);
        if (!expected.isValid())
            return;
        QVERIFY2(outcome.kind == test::Outcome::Loaded, told);
        QCOMPARE(outcome.fileSize, expected);
        if (fill.isValid())  // never enlarged, and covering the thumbnail where the picture does
            QVERIFY2(outcome.image.width() <= expected.width() && outcome.image.height() <= expected.height()
                         && outcome.image.width() >= qMin(fill.width(), expected.width())
                         && outcome.image.height() >= qMin(fill.height(), expected.height()),
                     told);
        else
            QCOMPARE(outcome.image, expected);
    }

private slots:
    void initTestCase() { test::prepareApplication(); }

    void cleanupTestCase()
    {
        qInfo("corpus files tried at full size: %d, loaded %d, refused %d", tried, loaded, refused);
    }

    void bmpSuite_data()
    {
        addColumns();
        const QString suite = corpusFolder(QStringLiteral("bmpsuite"));
        if (suite.isEmpty()) {
            QTest::newRow("absent") << QString() << QSize() << QSize();
            return;
        }
        // Sizes as the suite's README states them.
        const QHash<QString, QSize> unusual = {{QStringLiteral("pal8nonsquare.bmp"), QSize(127, 32)},
                                               {QStringLiteral("pal8w124.bmp"), QSize(124, 61)},
                                               {QStringLiteral("pal8w125.bmp"), QSize(125, 62)},
                                               {QStringLiteral("pal8w126.bmp"), QSize(126, 63)}};
        for (const QString &group : {QStringLiteral("g"), QStringLiteral("q"), QStringLiteral("b"), QStringLiteral("x")}) {
            const QDir dir(suite + QLatin1Char('/') + group);
            for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
                const QSize good = unusual.value(name, QSize(127, 64));
                addRows(dir.filePath(name), group == QLatin1String("g") ? good : QSize());
            }
        }
    }

    void bmpSuite() { decodeAndCheck(); }

    void gifSuite_data()
    {
        addColumns();
        const QString suite = corpusFolder(QStringLiteral("gif-suite"));
        QFile list(suite + QStringLiteral("/TESTS"));
        if (suite.isEmpty() || !list.open(QIODevice::ReadOnly | QIODevice::Text)) {
            QTest::newRow("absent") << QString() << QSize() << QSize();
            return;
        }
        while (!list.atEnd()) {
            const QString name = QString::fromUtf8(list.readLine().trimmed());
            if (name.isEmpty())
                continue;
            const GifExpectation expected = readConf(suite + QLatin1Char('/') + name + QStringLiteral(".conf"));
            addRows(suite + QLatin1Char('/') + name + QStringLiteral(".gif"),
                    expected.valid ? expected.size : QSize());
        }
    }

    void gifSuite() { decodeAndCheck(); }
};

QTEST_MAIN(LoaderCorpusTest)
#include "tst_loader_corpus.moc"
