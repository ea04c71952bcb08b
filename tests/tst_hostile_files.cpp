// Files made to break a picture viewer, each decoded in a child process:
// headers that lie about their size, files cut short anywhere, special files
// named like pictures and awkward names. None may crash, hang, or take much
// memory or time; what the user asked to see is refused with a reason. The
// pictures of two public test suites go the same way, where the suites lie
// beside the repository: good files load at their stated size. And, in this
// process, the loader's choices on pictures that are valid but awkward: which
// decoder may see a file, which image of an icon is shown, how the EXIF
// orientation turns a picture, and how small a thumbnail is decoded; and the
// program's own header readers against Qt's.
#include "ExifWriter.h"
#include "runtime/pictures/PictureDescription.h"
#include "runtime/pictures/PictureFormats.h"
#include "runtime/pictures/PictureLoader.h"
#include "runtime/services/Failure.h"
#include "support/ChildProcess.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTest>

#include <algorithm>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#endif

using namespace test::hostile;

namespace {

const QSize kThumbnail(105, 105);
constexpr qint64 kMaxGrowthMiB = 256;
const QSize kCorpusThumbnail(65, 65);
constexpr qint64 kCorpusGrowthMiB = 64;  // the suites' pictures are small

void qtLimitOff() { QImageReader::setAllocationLimit(0); }

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

rt::Decoded decode(const QString &path, QSize fill = QSize()) { return rt::decodePicture(path, fill); }

bool redder(QRgb pixel) { return qRed(pixel) > 200 && qBlue(pixel) < 60; }

}  // namespace

class HostileFilesTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;
    QTemporaryDir samples;
    int tried = 0;

    QString file(const QString &name, const QByteArray &bytes) { return write(folder->file(name), bytes); }

    test::Outcome decodeApart(const QString &path, QSize fill = QSize(), const std::function<void()> &prepare = {},
                              bool apart = true)
    {
        ++tried;
        return test::decodeInChild(path, fill, prepare, 20000, apart);
    }

    // Clean, prompt and small; returns the outcome for further checks. The
    // suites' pictures are decoded from this process: their decoders are
    // processes apart already, and a child apart starts decoders of its own.
    test::Outcome decodeBounded(const QString &path, QSize fill = QSize(), const std::function<void()> &prepare = {},
                                qint64 maxGrowthMiB = kMaxGrowthMiB, bool apart = true)
    {
        const test::Outcome outcome = decodeApart(path, fill, prepare, apart);
        const QByteArray told = (QFileInfo(path).fileName() + QLatin1Char(' ') + outcome.describe()).toUtf8();
        [&] {
            QVERIFY2(outcome.clean(), told);
            QVERIFY2(outcome.milliseconds < test::kPromptMs, told);
            QVERIFY2(outcome.grownMiB < maxGrowthMiB, told);
            QVERIFY2(outcome.kind == test::Outcome::Loaded || !outcome.error.isEmpty(), told);
        }();
        return outcome;
    }

    void addRows(const QString &path, QSize expected)
    {
        const QString name = QDir(corpusFolder(QString())).relativeFilePath(path);
        QTest::newRow(qPrintable(name)) << path << expected << QSize();
        // A decoder takes a fifth of a second to start under Wine: the suites
        // are decoded for a cell where the decoders are forked.
        if (!test::kCallFilter)
            return;
        QTest::newRow(qPrintable(name + QStringLiteral(" thumbnail"))) << path << expected << kCorpusThumbnail;
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
        const test::Outcome outcome = decodeBounded(path, fill, {}, kCorpusGrowthMiB, false);
        const QByteArray told = outcome.describe().toUtf8();
        if (QTest::currentTestFailed() || !expected.isValid())
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
    void cleanupTestCase() { qInfo("hostile and corpus files decoded: %d", tried); }
    void init() { folder = std::make_unique<test::Folder>(); }
    // QTemporaryDir does not see names that are no UTF-8, so cannot remove them.
    void cleanup() { ::unlink(QFile::encodeName(folder->path()) + "/\xff\xfe.bmp"); }

    void lyingHeaders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("fill");
        QTest::addColumn<QSize>("loads");  // invalid: refused
        const QByteArray small = jpeg(QSize(64, 48));
        const IconPart icon16 = iconBitmap(QSize(16, 16));
        struct Case
        {
            const char *name;
            QByteArray bytes;
            QSize fill, loads;
        };
        const QList<Case> cases = {
            {"bmp 60000 x 60000", bmpHeader(60000, 60000), {}, {}},
            {"bmp 30000 x -30000 (top-down)", bmpHeader(30000, -30000), {}, {}},
            {"bmp height INT_MIN", bmpHeader(16, INT_MIN), {}, {}},
            {"bmp width -5", bmpHeader(-5, 16), {}, {}},
            {"bmp 1 x INT_MAX", bmpHeader(1, INT_MAX, 8), {}, {}},
            {"bmp 0 x 0", bmpHeader(0, 0), {}, {}},
            {"bmp 16 x 16 with 4 bytes of pixels", bmpHeader(16, 16, 24, 4), {}, QSize(16, 16)},
            {"jpeg 30000 x 30000", withJpegSize(small, QSize(30000, 30000)), {}, {}},
            {"jpeg 30000 x 30000 thumbnail", withJpegSize(small, QSize(30000, 30000)), kThumbnail, QSize(105, 105)},
            {"jpeg 65500 x 65500 thumbnail", withJpegSize(small, QSize(65500, 65500)), kThumbnail, {}},
            {"jpeg 65500 x 1", withJpegSize(small, QSize(65500, 1)), {}, QSize(65500, 1)},
            {"jpeg height 0", withJpegSize(small, QSize(64, 0)), {}, {}},
            {"progressive jpeg 30000 x 30000 thumbnail",
             withJpegSize(jpeg(QSize(64, 48), true), QSize(30000, 30000)),
             kThumbnail,
             {}},
            {"progressive jpeg with 5000 more scans", withRepeatedScan(jpeg(QSize(512, 512), true), 5000), {}, {}},
            {"gif screen 65535 x 65535", withGifScreen(gif(QSize(8, 8)), QSize(65535, 65535)), {}, {}},
            {"gif screen 65535 x 65535 thumbnail",
             withGifScreen(gif(QSize(8, 8)), QSize(65535, 65535)),
             kThumbnail,
             {}},
            {"gif screen 0 x 0", withGifScreen(gif(QSize(8, 8)), QSize(0, 0)), {}, QSize(8, 8)},
            {"ico png claiming 60000 x 60000", iconFile({iconPng(QSize(8, 8), QSize(60000, 60000))}), {}, {}},
            {"ico 16 and a png claiming 60000 x 60000",
             iconFile({icon16, iconPng(QSize(8, 8), QSize(60000, 60000))}),
             {},
             QSize(16, 16)},
            {"ico bitmap claiming 100000 x 100000",
             [&] {
                 IconPart huge = iconBitmap(QSize(16, 16));
                 huge.listed = QSize(0, 0);
                 qToLittleEndian<qint32>(100000, huge.data.data() + 4);
                 qToLittleEndian<qint32>(200000, huge.data.data() + 8);
                 return iconFile({huge});
             }(),
             {},
             {}},
        };
        for (const Case &c : cases) {
            QTest::newRow(c.name) << c.bytes << c.fill << c.loads;
            QTest::newRow(qPrintable(QByteArray(c.name) + " with Qt's limit off")) << c.bytes << c.fill << c.loads;
        }
    }

    void lyingHeaders()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, fill);
        QFETCH(QSize, loads);
        const QString path = write(folder->file(QStringLiteral("lying.jpg")), bytes);
        const bool qtLimitless = QByteArray(QTest::currentDataTag()).endsWith("limit off");
        const test::Outcome outcome = decodeBounded(path, fill, qtLimitless ? qtLimitOff : nullptr);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(outcome.kind, loads.isValid() ? test::Outcome::Loaded : test::Outcome::Refused);
        if (loads.isValid())
            QCOMPARE(outcome.image, loads);
    }

    void filesCutShortAnywhere_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("showsWhatIsThere");  // a cut past the header still shows a picture
        QTest::addColumn<bool>(
            "unsetIsOpaque");  // and what it never set is opaque (Qt's GIF decoder clears to transparent)
        const QSize size(200, 150);
        QTest::newRow("bmp") << encoded(pattern(size), "bmp") << true << true;
        QTest::newRow("jpeg") << jpeg(size) << true << true;
        QTest::newRow("progressive jpeg") << jpeg(size, true) << true << true;
        QTest::newRow("gif") << gif(size) << true << false;
        QTest::newRow("ico") << iconFile({iconBitmap(QSize(16, 16)), iconBitmap(QSize(48, 48))}) << false << false;
    }

    void filesCutShortAnywhere()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, showsWhatIsThere);
        QFETCH(bool, unsetIsOpaque);
        QList<qsizetype> cuts;
        for (qsizetype at = 0; at < qMin<qsizetype>(80, bytes.size()); ++at)  // every header byte
            cuts.append(at);
        for (int percent = 10; percent < 100; percent += 5)
            cuts.append(bytes.size() * percent / 100);
        const QString path = folder->file(QStringLiteral("cut.jpg"));
        for (const qsizetype at : cuts) {
            write(path, bytes.left(at));
            const test::Outcome outcome = decodeBounded(path);
            if (QTest::currentTestFailed())
                return;
            if (showsWhatIsThere && at >= bytes.size() * 9 / 10) {
                QVERIFY2(outcome.kind == test::Outcome::Loaded && outcome.image == QSize(200, 150),
                         qPrintable(QStringLiteral("cut at %1: %2").arg(at).arg(outcome.describe())));
                QVERIFY2(!unsetIsOpaque || isOpaque(decode(path).image),
                         qPrintable(QStringLiteral("cut at %1").arg(at)));
            }
        }
    }

    // Every pixel of an image without transparency keeps its alpha at 255,
    // which drawing may copy as it is.
    static bool isOpaque(const QImage &image)
    {
        if (image.format() != QImage::Format_RGB32)
            return false;
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            if (std::any_of(line, line + image.width(), [](QRgb pixel) { return qAlpha(pixel) != 255; }))
                return false;
        }
        return true;
    }

    void specialFilesAreRefusedWithoutBeingRead()
    {
        const QString picture = write(folder->file(QStringLiteral("real.bmp")), encoded(pattern(QSize(8, 8)), "bmp"));
        QVERIFY(test::makeBlockingFile(folder->file(QStringLiteral("fifo.jpg"))));
        QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("folder.jpg")));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), folder->file(QStringLiteral("zero.jpg"))));
        QVERIFY(QFile::link(folder->file(QStringLiteral("gone.bmp")), folder->file(QStringLiteral("dangling.jpg"))));
        QVERIFY(QFile::link(folder->file(QStringLiteral("loop2.jpg")), folder->file(QStringLiteral("loop1.jpg"))));
        QVERIFY(QFile::link(folder->file(QStringLiteral("loop1.jpg")), folder->file(QStringLiteral("loop2.jpg"))));
        QVERIFY(QFile::link(folder->file(QStringLiteral("fifo.jpg")), folder->file(QStringLiteral("to-fifo.jpg"))));
        QVERIFY(QFile::link(picture, folder->file(QStringLiteral("to-real.jpg"))));
#ifdef Q_OS_WIN
        const bool haveSocket = false;  // Windows keeps no sockets in folders
#else
        const QByteArray dir = QFile::encodeName(folder->path());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = dir + "/socket.jpg";
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool haveSocket = socketPath.size() < qsizetype(sizeof address.sun_path);
        if (haveSocket) {
            std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
            QVERIFY(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        }
#endif

        // A shortcut (Windows) is a file of its own, and no picture.
        auto link = [](rt::Reason reason) { return test::kLinksAreFiles ? rt::Reason::UnsupportedType : reason; };
        const QList<QPair<QString, rt::Reason>> refused = {
            {QStringLiteral("fifo.jpg"), test::kBlockedReason},
            {QStringLiteral("to-fifo.jpg"), link(rt::Reason::IsPipe)},
            {QStringLiteral("folder.jpg"), rt::Reason::IsFolder},
            {QStringLiteral("zero.jpg"), link(rt::Reason::IsDevice)},
            {QStringLiteral("dangling.jpg"), link(rt::Reason::DanglingLink)},
            {QStringLiteral("loop1.jpg"), link(rt::Reason::LinkLoop)},
            {QStringLiteral("socket.jpg"), rt::Reason::IsSocket},
            {QStringLiteral("missing.jpg"), rt::Reason::NotFound},
        };
        for (const auto &[name, reason] : refused) {
            if (name == QLatin1String("socket.jpg") && !haveSocket)
                continue;
            const test::Outcome outcome = decodeBounded(folder->file(name));
            QCOMPARE(outcome.kind, test::Outcome::Refused);
            QVERIFY2(outcome.reason == reason, qPrintable(name + QLatin1Char(' ') + outcome.error));
        }
        QCOMPARE(decodeBounded(folder->file(QStringLiteral("to-real.jpg"))).image,
                 test::kLinksAreFiles ? QSize(0, 0) : QSize(8, 8));
#ifndef Q_OS_WIN
        ::close(sock);
#endif
    }

    void awkwardNamesAreOpenedAsTheyAre()
    {
        const QByteArray bmp = encoded(pattern(QSize(8, 8)), "bmp");
        const QStringList names = {QStringLiteral("a b .bmp"),
                                   QStringLiteral("日本語の名前.bmp"),
                                   QStringLiteral("-n.bmp"),
                                   QStringLiteral("--help.bmp"),
                                   QStringLiteral("new" TEST_LINE_BREAK "line.bmp"),
                                   QStringLiteral(" lead.bmp"),
                                   QStringLiteral("\u00e9\u0301.bmp"),
                                   QString(80, QChar(0x3042)) + QStringLiteral(".bmp")};
        for (const QString &name : names)
            QCOMPARE(decodeBounded(write(folder->file(name), bmp)).image, QSize(8, 8));

#ifndef Q_OS_WIN  // Windows names are UTF-16: none is left undecoded
        // A name that is no valid UTF-8 decodes with U+FFFD in place of its
        // bytes, which spells another file (or none): never the one meant.
        const QByteArray raw = QFile::encodeName(folder->path()) + "/\xff\xfe.bmp";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0 && ::write(fd, bmp.constData(), size_t(bmp.size())) == bmp.size());
        ::close(fd);
        const test::Outcome lossy = decodeBounded(QFile::decodeName(raw));
        QCOMPARE(lossy.kind, test::Outcome::Refused);
        QCOMPARE(lossy.reason, rt::Reason::NotFound);
#endif
    }

    void capsAloneDecideWhatLoads()
    {
        // A 100-megapixel photo (as its header says) loads at full size, far
        // over Qt's default limit of 128 MB.
        const QString big =
            write(folder->file(QStringLiteral("big.jpg")), withJpegSize(jpeg(QSize(64, 48)), QSize(12000, 8400)));
        const test::Outcome photo = decodeApart(big);
        QVERIFY2(photo.kind == test::Outcome::Loaded && photo.image == QSize(12000, 8400),
                 qPrintable(photo.describe()));
        const QString lying = write(folder->file(QStringLiteral("lying.bmp")), bmpHeader(40000, 40000));
        QCOMPARE(decodeBounded(lying).kind, test::Outcome::Refused);
    }

    void environmentChangesNothing()
    {
        // Qt reads QT_IMAGEIO_MAXALLOC once and lets it override the program's
        // own limit; run the check above in a fresh process under it.
        for (const char *megabytes : {"1", "0"}) {
            QProcess self;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_IMAGEIO_MAXALLOC"), QString::fromLatin1(megabytes));
            self.setProcessEnvironment(environment);
            self.setProcessChannelMode(QProcess::MergedChannels);
            self.start(QCoreApplication::applicationFilePath(), {QStringLiteral("capsAloneDecideWhatLoads")});
            QVERIFY(self.waitForFinished(120000));
            QVERIFY2(self.exitStatus() == QProcess::NormalExit && self.exitCode() == 0, self.readAll().constData());
        }
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
        for (const QString &group :
             {QStringLiteral("g"), QStringLiteral("q"), QStringLiteral("b"), QStringLiteral("x")}) {
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
            addRows(suite + QLatin1Char('/') + name + QStringLiteral(".gif"), expected.valid ? expected.size : QSize());
        }
    }

    void gifSuite() { decodeAndCheck(); }

    // The program's own header readers, which it runs on every picture in its
    // own process, against Qt's, which decode the picture in the decoder: the
    // size a decode allocates, its bytes per pixel and the EXIF orientation
    // agree wherever Qt reads the header; a bitmap header Qt refuses, the
    // program refuses too. Over the suites, the fuzz inputs, the samples and
    // the headers below.
    void headersAgreeWithQt_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("bytes");  // written to a file where there is no path
        QList<QPair<QString, QString>> roots = {{QStringLiteral("corpus"), corpusFolder(QString())},
                                                {QStringLiteral("fuzz"), QStringLiteral(PIXMOOR_FUZZ_DIR)}};
#ifdef PIXMOOR_MAKE_SAMPLES
        QProcess maker;
        maker.setStandardOutputFile(QProcess::nullDevice());
        maker.start(QStringLiteral(PIXMOOR_MAKE_SAMPLES), {samples.path()});
        QVERIFY(maker.waitForFinished(60000) && maker.exitCode() == 0);
        roots.append({QStringLiteral("samples"), samples.path()});
#endif
        for (const auto &[name, root] : roots) {
            for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); !root.isEmpty() && it.hasNext();) {
                const QString path = it.next();
                QTest::newRow(qPrintable(name + QLatin1Char('/') + QDir(root).relativeFilePath(path)))
                    << path << QByteArray();
            }
        }
        const QByteArray photo = jpeg(QSize(64, 48)), progressive = jpeg(QSize(64, 48), true);
        auto endOf = [](const QByteArray &jpeg, uchar marker) {
            const QList<Segment> all = segments(jpeg);
            return std::find_if(all.begin(), all.end(), [&](const Segment &s) { return s.marker == marker; })->end;
        };
        auto turned = [](int value, quint16 type = 3, quint32 count = 1) {
            return QList<TiffEntry>{{0x0112, type, count, quint16(value)}};
        };
        const QList<TiffEntry> make = {{0x010F, 2, 4, 0}};
        const QByteArray six = exif(false, {turned(6)});
        QList<QList<TiffEntry>> tenth(9, make), eleventh(10, make);
        tenth << turned(5), eleventh << turned(5);
        QByteArray v4 = bmpHeader(4, 4, 24, 80);
        qToLittleEndian<qint32>(108, v4.data() + 14);
        QList<QPair<QByteArray, QByteArray>> crafted = {
            {"exif 6 as a long", withApp1(photo, {exif(false, {turned(6, 4)})})},
            {"exif 6 counted twice", withApp1(photo, {exif(false, {turned(6, 3, 2)})})},
            {"exif 6 after another tag", withApp1(photo, {exif(true, {make + turned(6)})})},
            {"exif 3 in the second directory", withApp1(photo, {exif(false, {make, turned(3)})})},
            {"exif 9 before 6", withApp1(photo, {exif(false, {turned(9) + turned(6)})})},
            {"exif 5 in the tenth directory", withApp1(photo, {exif(false, tenth)})},
            {"exif 5 in the eleventh directory", withApp1(photo, {exif(false, eleventh)})},
            {"exif after xmp", withApp1(photo, {QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34), six})},
            {"exif split over two segments", withApp1(photo, {six.left(17), six.mid(17)})},
            {"exif header split over two segments", withApp1(photo, {six.left(3), six.mid(3)})},
            {"exif cut inside its entry", withApp1(photo, {six.left(20)})},
            {"exif header alone", withApp1(photo, {QByteArray("Exif\0\0", 6)})},
            {"exif after the frame header", withApp1(photo, {six}, endOf(photo, 0xC0))},
            {"exif after the first scan", withApp1(progressive, {six}, endOf(progressive, 0xDA))},
            // Orientation 6 in a directory the one before points back to; after one at 2^32 - 6, where
            // adding the EXIF header's 6 bytes to the offset in 32 bits would come back to the start.
            {"exif directory behind the last",
             withApp1(photo,
                      {QByteArray("Exif\0\0II*\0\x1A\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0"
                                  "\x06\0\0\0\0\0\0\0\0\0\x08\0\0\0",
                                  38)})},
            {"exif directory at 4 GB",
             withApp1(photo,
                      {QByteArray("Exif\0\0II*\0\x08\0\0\0\0\0\xFA\xFF\xFF\xFF\0\0\0\0\0\0"
                                  "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0",
                                  38)})},
            {"app1 of length 1", photo.left(2) + QByteArray("\xFF\xE1\0\x01", 4) + photo.mid(2)},
            {"jpeg stray bytes", photo.left(2) + QByteArray("\0\r\n\x12\xFF\0\x7F", 7) + photo.mid(2)},
            {"jpeg height 0", withJpegSize(photo, QSize(64, 0))},
            {"bmp 16384 x 16384", bmpHeader(16384, 16384)},
            {"bmp 16385 x 16384", bmpHeader(16385, 16384)},
            {"bmp 30 x -20 (top-down)", bmpHeader(30, -20, 24, 30 * 20 * 3)},
            {"bmp height INT_MIN", bmpHeader(16, INT_MIN)},
            {"bmp width -5", bmpHeader(-5, 16)},
            {"bmp 8 bits", bmpHeader(4, 4, 8, 1024 + 16)},
            {"bmp 2 bits", bmpHeader(4, 4, 2)},
            {"bmp version 4", v4},
            {"bmp version 4 cut inside its header", v4.left(14 + 107)},
            {"gif screen 0 x 0, image at 3, 4", gifOf(QSize(0, 0), {}, QRect(3, 4, 5, 6))},
            {"gif screen 9 x 0", gifOf(QSize(9, 0), {}, QRect(3, 4, 5, 6))},
            {"gif screen 0 x 0 after extensions",
             gifOf(QSize(0, 0),
                   QByteArray("\x21\xF9\x04\x01\0\0\0\0\x21\xFE\x03"
                              "abc\0\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0",
                              35),
                   QRect(1, 2, 3, 4))},
            {"gif graphic control of size 0", gifOf(QSize(0, 0), QByteArray("\x21\xF9\0\0", 4), QRect(1, 2, 3, 4))},
            {"gif screen 3000 x 2500", withGifScreen(gif(QSize(8, 8)), QSize(3000, 2500))},
            {"gif screen 0 x 0 and no image", QByteArray("GIF89a\0\0\0\0\0\0\0;", 14)},
        };
        for (int value = 0; value <= 9; ++value) {  // 0: no tag
            for (const bool motorola : {false, true})
                crafted.append({QByteArray("exif ") + QByteArray::number(value) + (motorola ? " motorola" : " intel"),
                                withApp1(photo, {exif(motorola, {value ? turned(value) : make})})});
        }
        for (const auto &[name, bytes] : crafted)
            QTest::newRow(name.constData()) << QString() << bytes;
    }

    void headersAgreeWithQt()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, bytes);
        if (path.isEmpty())
            path = file(QStringLiteral("header"), bytes);
        QFile device(path);
        QVERIFY(device.open(QIODevice::ReadOnly));
        const rt::PictureDescription own = rt::describePicture(device);
        if (own.format.isEmpty() || own.format == "ico")
            return;  // no picture; an icon's images the program has always read itself
        QImageReader qt(path, own.format);
        qt.setAutoDetectImageFormat(false);
        const QSize reported = qt.size();
        const int turn = qt.transformation();
        qt.setAutoTransform(false);
        const QImage image = qt.read();
        if (!image.isNull()) {
            QCOMPARE(own.decoded, image.size());
            const int bytesPerPixel = qMax(1, image.depth() / 8);
            QVERIFY(own.format == "bmp" ? own.bytesPerPixel == bytesPerPixel : own.bytesPerPixel >= bytesPerPixel);
        }
        // Qt's GIF reader reports its first image, where its decoder paints a larger screen.
        if (own.format != "gif" && (reported.isValid() || own.format == "bmp"))
            QCOMPARE(own.decoded, rt::header::allocatedSize(reported));
        if (own.format == "jpeg" && reported.isValid()) {
            using T = QImageIOHandler;
            const int byOrientation[] = {T::TransformationNone,
                                         T::TransformationMirror,
                                         T::TransformationRotate180,
                                         T::TransformationFlip,
                                         T::TransformationFlipAndRotate90,
                                         T::TransformationRotate90,
                                         T::TransformationMirrorAndRotate90,
                                         T::TransformationRotate270};
            const int orientation = rt::header::jpegLayout(device, rt::header::ScanCount::Every).orientation;
            QCOMPARE(byOrientation[orientation - 1], turn);
            QCOMPARE(own.rotated, bool(turn & T::TransformationRotate90));
            QCOMPARE(own.oriented, turn != T::TransformationNone);
        }
    }

    void otherFormatsNeverReachTheirDecoders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QImage picture = pattern(QSize(24, 16));
        // Whatever Qt can write here, including plugins such as TIFF and WebP
        // when they are installed (but the formats the table lists), and what
        // it cannot, by its leading bytes.
        const auto listed = [](const char *format) {
            return std::ranges::any_of(rt::pictureFormats(),
                                       [&](auto &row) { return qstrcmp(row.format, format) == 0; });
        };
        for (const char *format : {"png", "ppm", "pgm", "pbm", "xbm", "xpm", "tiff", "webp", "tga", "wbmp", "icns"}) {
            if (QImageWriter::supportedImageFormats().contains(format) && !listed(format))
                QTest::newRow(format) << encoded(picture, format);
        }
        QTest::newRow("svg") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>");
        if (!listed("tiff"))
            QTest::newRow("tiff header") << QByteArray("II*\0\x08\0\0\0\0\0", 10);
        if (!listed("webp"))
            QTest::newRow("webp header") << QByteArray(
                "RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0\x2f\0\0\0\x10\x07\x10\x11\x11\x88\x88\xfe\x07\0", 34);
        QTest::newRow("text") << QByteArray("just some words\n");
        QTest::newRow("one byte") << QByteArray("B");
        QTest::newRow("zeros") << QByteArray(4096, '\0');
        QTest::newRow("cursor of no images") << QByteArray("\0\0\2\0\0\0", 6);
    }

    void otherFormatsNeverReachTheirDecoders()
    {
        QFETCH(QByteArray, bytes);
        for (QString name : rt::filePatterns()) {  // named as each format's files are
            const rt::Decoded decoded = decode(file(name.replace(QLatin1Char('*'), QLatin1Char('x')), bytes));
            QVERIFY(decoded.image.isNull());
            QCOMPARE(decoded.error.reason, rt::Reason::UnsupportedType);
        }
    }

    // What a decode gives: the image at the size asked for (a thumbnail
    // covers `fill`, never enlarged) and the picture's own size.
    void decodesAtTheirSize_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("fill");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("fileSize");
        const QSize size(30, 20), cell(105, 105);
        // Every format of the table is known by its content, whatever the name.
        for (const rt::PictureFormat &format : rt::pictureFormats())
            QTest::newRow(format.format) << sample(format.format, size) << QSize() << size << size;
        // Icons show their largest image and thumbnails the smallest that covers.
        const QByteArray icon =
            iconFile({iconBitmap(QSize(16, 16)), iconBitmap(QSize(48, 48)), iconBitmap(QSize(32, 32))});
        QTest::newRow("ico largest") << icon << QSize() << QSize(48, 48) << QSize(48, 48);
        QTest::newRow("ico covering") << icon << QSize(20, 20) << QSize(32, 32) << QSize(48, 48);
        QTest::newRow("ico none covers") << icon << QSize(100, 100) << QSize(48, 48) << QSize(48, 48);
        // A PNG image is taken at its own size, not the directory's 256.
        QTest::newRow("ico png") << iconFile({iconBitmap(QSize(16, 16)), iconPng(QSize(64, 40), QSize(64, 40))})
                                 << QSize() << QSize(64, 40) << QSize(64, 40);
        // A damaged best image gives way to the next one.
        IconPart cut = iconBitmap(QSize(48, 48));
        cut.data.chop(cut.data.size() / 2);
        QTest::newRow("ico damaged") << iconFile({iconBitmap(QSize(16, 16)), cut}) << QSize() << QSize(16, 16)
                                     << QSize();
        QTest::newRow("jpeg thumbnail") << jpeg(QSize(4000, 3000)) << cell << QSize(140, 105) << QSize(4000, 3000);
        // Bitmaps decode at full size and are shrunk afterwards.
        QTest::newRow("bmp thumbnail") << encoded(pattern(QSize(2100, 1400)), "bmp") << cell << QSize(157, 105)
                                       << QSize(2100, 1400);
        // A picture thinner than the thumbnail in one direction stays as it
        // is: covering it with the same aspect would take a 210000-pixel line.
        QTest::newRow("gif line") << gif(QSize(2000, 1)) << cell << QSize(2000, 1) << QSize(2000, 1);
        QTest::newRow("bmp tiny") << encoded(pattern(QSize(10, 10)), "bmp") << cell << QSize(10, 10) << QSize(10, 10);
        // The decoder paints into the logical screen: that is the picture's size.
        QTest::newRow("gif screen") << withGifScreen(gif(QSize(8, 8)), QSize(3000, 2500)) << QSize()
                                    << QSize(3000, 2500) << QSize(3000, 2500);
        // Bytes between the start of the image and its first marker: libjpeg
        // skips them with a warning, a 0xFF 0x00 pair included.
        const QByteArray photo = jpeg(QSize(64, 48));
        const QByteArray stray = photo.left(2) + QByteArray("\0\r\n\x12\xFF\0\x7F", 7) + photo.mid(2);
        QTest::newRow("jpeg stray bytes") << stray << QSize() << QSize(64, 48) << QSize(64, 48);
        QTest::newRow("jpeg stray bytes thumbnail") << stray << QSize(16, 16) << QSize() << QSize(64, 48);
    }

    void decodesAtTheirSize()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, fill);
        QFETCH(QSize, image);
        QFETCH(QSize, fileSize);
        for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("a.png"), QStringLiteral("noname")}) {
            const rt::Decoded decoded = decode(file(name, bytes), fill);
            if (image.isValid())
                QCOMPARE(decoded.image.size(), image);
            if (fileSize.isValid())
                QCOMPARE(decoded.fileSize, fileSize);
        }
    }

    void jpegLimitsHoldPastStrayBytes()
    {
        const QByteArray scans = withRepeatedScan(jpeg(QSize(64, 64), true), 300);
        const rt::Decoded many = decode(file(QStringLiteral("scans.jpg"), scans.left(2) + "\0\0" + scans.mid(2)));
        QCOMPARE(many.error.reason, rt::Reason::TooManyScans);
        const QByteArray lying = withJpegSize(jpeg(QSize(64, 48)), QSize(60000, 60000));
        const rt::Decoded huge = decode(file(QStringLiteral("huge.jpg"), lying.left(2) + "\0\0" + lying.mid(2)));
        QCOMPARE(huge.error.reason, rt::Reason::TooLarge);
        // The start of an image followed by no marker is no JPEG; an empty file is none at all.
        QCOMPARE(
            decode(file(QStringLiteral("no marker.jpg"), QByteArray("\xFF\xD8\0\0\xFF\0", 6) + QByteArray(100, 'x')))
                .error.reason,
            rt::Reason::UnsupportedType);
        QCOMPARE(decode(file(QStringLiteral("empty.bmp"), QByteArray())).error.reason, rt::Reason::EmptyFile);
    }

    void exifOrientationTurnsThePictureAndItsSize()
    {
        QImage raw(400, 200, QImage::Format_RGB32);
        raw.fill(Qt::blue);
        for (int y = 0; y < 200; ++y)
            std::fill_n(reinterpret_cast<QRgb *>(raw.scanLine(y)), 200, qRgb(255, 0, 0));
        const QString turned = file(QStringLiteral("turned.jpg"),
                                    testart::withCameraExif(encoded(raw, "jpeg"), {.orientation = 6, .thumbnail = {}}));

        const rt::Decoded full = decode(turned);
        QCOMPARE(full.image.size(), QSize(200, 400));
        QCOMPARE(full.fileSize, QSize(200, 400));
        QVERIFY(redder(full.image.pixel(100, 20)));  // turned clockwise: the left half is on top
        QVERIFY(!redder(full.image.pixel(100, 380)));

        // Thumbnails cover what they are asked to, in the turned orientation.
        QCOMPARE(decode(turned, QSize(50, 100)).image.size(), QSize(50, 100));
        QCOMPARE(decode(turned, QSize(100, 50)).image.size(), QSize(100, 200));
        const rt::Decoded small = decode(turned, QSize(60, 60));
        QCOMPARE(small.image.size(), QSize(60, 120));
        QCOMPARE(small.fileSize, QSize(200, 400));
        QVERIFY(redder(small.image.pixel(30, 10)));
    }

    // Pictures whose decode holds far more than their file: what each claims
    // from the budget covers the peak the benchmark measures in a process of
    // its own, within what the measure itself adds; each peak is real (tens
    // of MB), so no claim of 0 passes.
    void claimsCoverWhatADecodeHolds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("fill");
        const QSize cell(105, 105), large(3000, 2000);
        QImage clear(large, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        const QList<QPair<const char *, QByteArray>> pictures = {
            {"gif screen 0 x 0", withGifScreen(gif(large), QSize(0, 0))},
            {"gif transparent", testart::encodeGif(clear)},
            {"progressive jpeg", jpeg(QSize(4000, 3000), true)},
            {"ico of three images",
             iconFile({iconBitmap(QSize(16, 16)), iconPng(large, large), iconBitmap(QSize(48, 48))})},
            {"bmp top row first", bmpHeader(large.width(), -large.height(), 24, large.width() * large.height() * 3)}};
        for (const auto &[name, bytes] : pictures) {
            QTest::newRow(name) << bytes << QSize();
            QTest::newRow(qPrintable(name + QByteArray(" thumbnail"))) << bytes << cell;
        }
    }

    void claimsCoverWhatADecodeHolds()
    {
#ifdef Q_OS_WIN
        QSKIP("the benchmark, which reads the peak from Linux's /proc, is not built for Windows");
#endif
        if (test::kSanitized)
            QSKIP("a sanitizer's allocator holds more than the decode itself");
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, fill);
        const QString path = file(QStringLiteral("large"), bytes);
        const qint64 claim = rt::decodeBytes(rt::describePicture(path), fill);
        QProcess bench;
        const QString arguments = QStringLiteral("--phase decode --file large --repeat 0 --fill %1").arg(fill.width());
        bench.start(QStringLiteral(PIXMOOR_BENCH),
                    arguments.split(QLatin1Char(' ')) + QStringList{QStringLiteral("--corpus"), folder->path()});
        QVERIFY(bench.waitForFinished(60000) && bench.exitStatus() == QProcess::NormalExit && bench.exitCode() == 0);
        const QByteArray output = bench.readAllStandardOutput();
        const qint64 peak =
            qint64(output.mid(output.indexOf("peak_mb ") + 8).split('\n').value(0).toDouble() * (1 << 20));
        constexpr qint64 kMeasureBytes = 4 << 20;  // the heap's own growth and the decoders' working rows
        const QByteArray told = QStringLiteral("claim %1 KiB, peak %2 KiB").arg(claim / 1024).arg(peak / 1024).toUtf8();
        QVERIFY2(peak > 4 * kMeasureBytes, told);
        QVERIFY2(claim + kMeasureBytes >= peak, told);
    }

    void eachLoadHasAHandleAndAFailureNamesTheFile()
    {
        const QString bmp = file(QStringLiteral("a.bmp"), encoded(pattern(QSize(30, 20)), "bmp"));
        QCOMPARE(rt::loadPicture(QString()).handle(), quint64(0));  // the empty picture
        const rt::Picture one = rt::loadPicture(bmp);
        const rt::Picture two = rt::loadPicture(bmp);
        QVERIFY(one.handle() != 0 && one.handle() != two.handle());
        QCOMPARE(one.image().size(), QSize(30, 20));

        // Which reason goes with which file is tst_hostile_files'.
        const QString notes = file(QStringLiteral("notes.jpg"), "just words");
        const auto failure = rt::trap([&] { rt::loadPicture(notes); });
        QVERIFY(failure && failure->reason() == rt::Reason::UnsupportedType);
        QCOMPARE(failure->path(), notes);
    }

    void builtInPicturesLoadFromResources()
    {
        QVERIFY(!decode(QStringLiteral(":/art/about.png")).image.isNull());
        QCOMPARE(decode(QStringLiteral(":/art/none.png")).error.reason, rt::Reason::NotFound);
    }
};

QTEST_MAIN(HostileFilesTest)
#include "tst_hostile_files.moc"
