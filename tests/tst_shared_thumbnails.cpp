// The desktop's shared thumbnail cache: valid entries fill cells without
// decoding, whichever program wrote them, and are never replaced; anything
// else in it is ignored; entries written back are valid to GLib's reader; a
// cache that cannot be written, or that others could have tampered with,
// changes nothing visible and is never written; failure marks keep an
// undecodable file from being tried again; ending the program drops the work
// in flight. Every case has a cache of its own in a temporary folder.
#include "BmpIcoWriter.h"
#include "ExifWriter.h"
#include "app/Form1.h"
#include "runtime/controls/FileListBox.h"
#include "runtime/Program.h"
#include "support/TestSupport.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/CacheWriter.h"
#include "thumbnailing/SharedThumbnails.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QThread>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>
#include <zlib.h>

using rt::Form;

namespace {

constexpr auto kGroupOrOther = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                             | QFile::WriteOther | QFile::ExeOther;

bool near(QRgb pixel, QColor expected)
{
    const QColor c(pixel);
    return qAbs(c.red() - expected.red()) < 40 && qAbs(c.green() - expected.green()) < 40
        && qAbs(c.blue() - expected.blue()) < 40;
}

QColor middle(const rt::Picture &picture)
{
    return QColor(picture.image().pixel(picture.image().width() / 2, picture.image().height() / 2));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

void setModified(const QString &path, qint64 msecs)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::fromMSecsSinceEpoch(msecs), QFileDevice::FileModificationTime));
}

QString entryName(const QString &file)
{
    const QByteArray uri = SharedThumbnail::uriOf(QFileInfo(file).absoluteFilePath());
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) + ".png";
}

using Chunks = QList<std::pair<QByteArray, QByteArray>>;  // type, data

// The chunks of a PNG after its signature, as they are stored.
Chunks chunksOf(const QByteArray &png)
{
    Chunks chunks;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
        chunks.append({png.mid(at + 4, 4), png.mid(at + 8, length)});
        at += 12 + length;
    }
    return chunks;
}

// A text chunk of `type` as other programs may write it: tEXt plain, zTXt
// compressed, iTXt international (uncompressed here).
std::pair<QByteArray, QByteArray> textChunk(const QByteArray &type, const QString &key, const QString &value)
{
    QByteArray data = key.toLatin1() + '\0';
    if (type == "zTXt")
        data += '\0' + qCompress(value.toLatin1()).mid(4);  // a zlib stream without Qt's length
    else if (type == "iTXt")
        data += QByteArray(4, '\0') + value.toUtf8();   // flag, method, no language, no translation
    else
        data += value.toLatin1();
    return {type, data};
}

// `image` as a PNG holding `text` in chunks of `type`, right after its header.
QByteArray png(const QImage &image, const QList<std::pair<QString, QString>> &text, const QByteArray &type = "tEXt")
{
    QByteArray plain;
    QBuffer buffer(&plain);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    QByteArray bytes = plain.left(33);
    for (const auto &[key, value] : text) {
        const auto [chunkType, data] = textChunk(type, key, value);
        QByteArray chunk(4, '\0');
        qToBigEndian<quint32>(quint32(data.size()), chunk.data());
        chunk += chunkType + data;
        const QByteArray crc = chunkType + data;
        chunk.resize(chunk.size() + 4);
        qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef *>(crc.constData()), uInt(crc.size()))),
                              chunk.data() + chunk.size() - 4);
        bytes += chunk;
    }
    return bytes + plain.mid(33);
}

} // namespace

class SharedThumbnailsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> cacheHome;
    std::unique_ptr<test::Folder> folder;

    Form1 &main() { return form1(); }
    QString thumbnails() const { return cacheHome->path() + "/thumbnails"; }
    QString normal(const QString &file) const { return thumbnails() + "/normal/" + entryName(file); }
    QString failMark(const QString &file) const
    {
        return thumbnails() + "/fail/pixmoor-" PIXMOOR_VERSION "/" + entryName(file);
    }

    // The keys a valid entry for `file` holds, as the standard names them;
    // only the two it requires when not `all`.
    QList<std::pair<QString, QString>> keysOf(const QString &file, bool all = true) const
    {
        const QFileInfo info(file);
        QList<std::pair<QString, QString>> keys = {
            {"Thumb::URI", QString::fromLatin1(SharedThumbnail::uriOf(info.absoluteFilePath()))},
            {"Thumb::MTime", QString::number(info.lastModified().toSecsSinceEpoch())}};
        if (all)
            keys += {{"Thumb::Size", QString::number(info.size())}, {"Thumb::Image::Width", "4000"},
                     {"Thumb::Image::Height", "3000"}};
        return keys;
    }

    QImage blue(QSize size = QSize(128, 96)) const
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(20, 40, 230));
        return image;
    }

    void closeList()
    {
        Form::ifLoaded<MDIForm1>()->close();
        test::flushDeletes();
    }

    QStringList filesUnder(const QString &path) const
    {
        QStringList found;
        QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        found.sort();
        return found;
    }

private slots:
    void initTestCase() { test::prepareApplication(); }

    void init()
    {
        cacheHome = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome->path()));
        folder = std::make_unique<test::Folder>();
        QVERIFY(test::startIn(folder->path()));
    }

    void cleanup()
    {
        test::unloadAllWindows();
        SharedThumbnail::waitForWrites();
        QFile::setPermissions(thumbnails(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void uriIsSpelledAsGLibSpellsIt()
    {
        QCOMPARE(SharedThumbnail::uriOf("/home/jens/photos/me.png"), QByteArray("file:///home/jens/photos/me.png"));
        QCOMPARE(QCryptographicHash::hash("file:///home/jens/photos/me.png", QCryptographicHash::Md5).toHex(),
                 QByteArray("c6ee772d9e49320e97ec29a7eb5b1697"));  // the standard's own example
        QCOMPARE(SharedThumbnail::uriOf("/tmp/写真 [1];#%?.jpg"),
                 QByteArray("file:///tmp/%E5%86%99%E7%9C%9F%20%5B1%5D%3B%23%25%3F.jpg"));
        QCOMPARE(SharedThumbnail::uriOf("/a/b!$&'()*+,-.:=@_~Z9"), QByteArray("file:///a/b!$&'()*+,-.:=@_~Z9"));
    }

    void entriesOfAnyProgramFillTheCell_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<bool>("allKeys");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("moreText");
        QTest::addColumn<QSize>("fileSize");  // invalid: the picture itself is shown
        QTest::addColumn<bool>("kept");       // left byte for byte; else written again in tEXt
        QTest::newRow("ours") << QByteArray("tEXt") << true << 1 << 0 << QSize(4000, 3000) << true;
        QTest::newRow("GLib's two keys") << QByteArray("tEXt") << false << 1 << 0 << QSize(320, 240) << true;
        QTest::newRow("two keys, photo turned") << QByteArray("tEXt") << false << 6 << 0 << QSize(240, 320) << true;
        QTest::newRow("keys in zTXt") << QByteArray("zTXt") << true << 1 << 0 << QSize(4000, 3000) << false;
        QTest::newRow("two keys in iTXt") << QByteArray("iTXt") << false << 1 << 0 << QSize(320, 240) << false;
        QTest::newRow("more text than we read") << QByteArray("tEXt") << false << 1 << 20 << QSize() << true;
    }

    void entriesOfAnyProgramFillTheCell()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(bool, allKeys);
        QFETCH(int, orientation);
        QFETCH(int, moreText);
        QFETCH(QSize, fileSize);
        QFETCH(bool, kept);
        QImage photo(320, 240, QImage::Format_RGB32);
        photo.fill(Qt::green);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "jpeg");
        testart::CameraExif exif;
        exif.orientation = orientation;
        const QString file = folder->text("photo.jpg", testart::withCameraExif(jpeg, exif));
        auto keys = keysOf(file, allKeys);
        for (int k = 0; k < moreText; ++k)
            keys.append({QString("Comment %1").arg(k), "from another program"});
        QDir().mkpath(thumbnails() + "/normal");
        const QByteArray planted = png(blue(), keys, chunk);
        writeAll(normal(file), planted);

        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        SharedThumbnail::waitForWrites();
        const rt::Picture &cell = list->Image1(0).picture();
        QCOMPARE(cell.image().size(), QSize(65, 65));
        QVERIFY(near(middle(cell).rgb(), fileSize.isValid() ? QColor(20, 40, 230) : QColor(Qt::green)));
        QCOMPARE(cell.fileSize(), fileSize.isValid() ? fileSize : QSize(320, 240));
        const QByteArray now = readAll(normal(file));
        QCOMPARE(now == planted, kept);
        if (!kept)
            QVERIFY(chunksOf(now).contains(textChunk("tEXt", "Thumb::URI", keys[0].second)));
    }
    void unusableEntriesAreIgnored_data()
    {
        QTest::addColumn<QString>("damage");
        for (const char *row : {"stale", "other file", "other size", "truncated", "huge header",
                                "not a png", "too large for its folder", "named pipe", "folder"})
            QTest::newRow(row) << QString::fromLatin1(row);
    }

    void unusableEntriesAreIgnored()
    {
        QFETCH(QString, damage);
        const QString file = folder->picture("photo.jpg", QSize(320, 240), Qt::green);
        const QString entry = normal(file);
        QDir().mkpath(thumbnails() + "/normal");
        auto keys = keysOf(file);
        auto set = [&](const QString &key, const QString &value) {
            for (auto &pair : keys)
                if (pair.first == key)
                    pair.second = value;
        };
        QImage image = blue();
        if (damage == "stale")
            set("Thumb::MTime", QString::number(QFileInfo(file).lastModified().toSecsSinceEpoch() - 1));
        else if (damage == "other file")
            set("Thumb::URI", QString::fromLatin1(SharedThumbnail::uriOf(folder->file("other.jpg"))));
        else if (damage == "other size")
            set("Thumb::Size", "12");
        else if (damage == "too large for its folder")
            image = blue(QSize(256, 192));
        QByteArray bytes = png(image, keys);
        if (damage == "truncated") {
            bytes.chop(40);
        } else if (damage == "huge header") {
            qToBigEndian<quint32>(100000, bytes.data() + 16);  // the width and height in the header
            qToBigEndian<quint32>(100000, bytes.data() + 20);
        } else if (damage == "not a png") {
            bytes = testart::encodeBmp24(blue());
        }
        if (damage == "named pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(entry).constData(), 0600), 0);
        else if (damage == "folder")
            QVERIFY(QDir().mkdir(entry));
        else
            writeAll(entry, bytes);

        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        QVERIFY2(near(middle(list->Image1(0).picture()).rgb(), Qt::green), "the picture itself is shown");
        QCOMPARE(list->Image1(0).picture().fileSize(), QSize(320, 240));
    }

    void writtenEntriesAreValidToTheDesktop_data()
    {
        QTest::addColumn<bool>("shortPath");
        QTest::addColumn<QString>("name");
        for (const bool shortPath : {true, false}) {
            for (const QString name : {"a.jpg", "写真 [1];#% b.jpg"})
                QTest::addRow("%s path, %s name", shortPath ? "short" : "long", name == "a.jpg" ? "plain" : "odd")
                    << shortPath << name;
        }
    }

    void writtenEntriesAreValidToTheDesktop()
    {
        QFETCH(bool, shortPath);
        QFETCH(QString, name);
        const QTemporaryDir shortFolder(QDir::tempPath() + "/pXXXXXX");
        const QString longFolder = folder->file("pictures of the summer");
        QVERIFY(QDir().mkpath(longFolder));
        const QString photo = (shortPath ? shortFolder.path() : longFolder) + "/" + name;
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(Qt::green);
        QVERIFY(image.save(photo, "jpeg"));
        const QByteArray uri = SharedThumbnail::uriOf(photo);
        QCOMPARE(uri.size() >= 40, !shortPath || name != "a.jpg");
        const qint64 second = QFileInfo(photo).lastModified().toSecsSinceEpoch() * 1000;
        setModified(photo, second + 100);
        test::unloadAllWindows();
        QVERIFY(test::startIn(QFileInfo(photo).path()));
        QVERIFY(test::openThumbnailList());
        SharedThumbnail::waitForWrites();

        for (const QString &path : {thumbnails(), thumbnails() + "/normal", normal(photo)})
            QCOMPARE(QFileInfo(path).permissions() & kGroupOrOther, QFile::Permissions());
        QCOMPARE(filesUnder(thumbnails()), QStringList{normal(photo)});
        QCOMPARE(QImage(normal(photo)).size(), QSize(128, 96));
        Chunks text;  // tEXt, zTXt and iTXt, in order
        for (const auto &chunk : chunksOf(readAll(normal(photo))))
            if (chunk.first.endsWith("Xt"))
                text.append(chunk);
        const QFileInfo info(photo);
        const Chunks expected = {textChunk("tEXt", "Thumb::URI", QString::fromLatin1(uri)),
                                 textChunk("tEXt", "Thumb::MTime", QString::number(second / 1000)),
                                 textChunk("tEXt", "Thumb::Size", QString::number(info.size())),
                                 textChunk("tEXt", "Thumb::Image::Width", "320"),
                                 textChunk("tEXt", "Thumb::Image::Height", "240"),
                                 textChunk("tEXt", "Software", "Pixmoor " PIXMOOR_VERSION)};
        QCOMPARE(text, expected);
        closeList();

        // A second list reads it. Changed within the same second, the file is
        // new to this run's memory but not to the shared cache (which counts
        // whole seconds); damaged, it could only be shown from there.
        QByteArray bytes = readAll(photo);
        bytes.replace(0, 4, "XXXX");
        writeAll(photo, bytes);
        setModified(photo, second + 600);
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        QVERIFY(near(middle(list->Image1(0).picture()).rgb(), Qt::green));
        QCOMPARE(list->Image1(0).picture().fileSize(), QSize(320, 240));

        // GLib's own reader, as file managers and file choosers use it.
        const QString gio = QStandardPaths::findExecutable("gio");
        if (gio.isEmpty())
            QSKIP("gio (Debian package libglib2.0-bin) is missing: GLib's reading of the thumbnails is not checked");
        QProcess glib;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CACHE_HOME", cacheHome->path());
        environment.insert("GIO_USE_VFS", "local");
        glib.setProcessEnvironment(environment);
        glib.start(gio, {"info", "-a", "thumbnail::path,thumbnail::is-valid", photo});
        QVERIFY(glib.waitForFinished(30000));
        const QString said = QString::fromUtf8(glib.readAllStandardOutput());
        QVERIFY2(said.contains("thumbnail::path: " + normal(photo) + "\n"), qPrintable(said));
        QVERIFY2(said.contains("thumbnail::is-valid: TRUE"), qPrintable(said));
    }

    // A cache that cannot be written, or that someone else could have laid
    // links in, changes nothing visible: its entries are not read, nothing
    // is written in it or through it.
    void onlyACacheOfTheUsersOwnIsUsed_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<bool>("used");  // a.jpg's entry fills its cell, b.jpg's is written
        QTest::newRow("sound") << "" << true;
        QTest::newRow("root a link to a sound folder") << "root link" << true;
        QTest::newRow("entry a link out of the cache") << "entry link" << false;
        QTest::newRow("normal/ a link") << "normal link" << false;
        QTest::newRow("large/ a link") << "large link" << false;
        QTest::newRow("normal/ writable by its group") << "group" << false;
        QTest::newRow("root writable by others") << "others" << false;
        QTest::newRow("read-only root") << "read-only" << false;
        QTest::newRow("cache home a file") << "cache home" << false;
        QTest::newRow("its folders files") << "folders" << false;
    }

    void onlyACacheOfTheUsersOwnIsUsed()
    {
        QFETCH(QString, obstacle);
        QFETCH(bool, used);
        const QString a = folder->picture("a.jpg", QSize(320, 240), Qt::green);
        const QString b = folder->picture("b.jpg", QSize(320, 240), Qt::green);
        const QTemporaryDir elsewhere;
        const QByteArray planted = png(blue(), keysOf(a));
        QString plantedAt = normal(a);
        QVERIFY(QDir().mkpath(thumbnails() + "/normal"));
        if (obstacle == "root link") {
            QVERIFY(QDir(thumbnails()).removeRecursively() && QDir().mkpath(elsewhere.path() + "/normal"));
            QVERIFY(QFile::link(elsewhere.path(), thumbnails()));
        } else if (obstacle == "entry link") {
            plantedAt = elsewhere.path() + "/target";
            QVERIFY(QFile::link(plantedAt, normal(a)));
        } else if (obstacle == "normal link") {
            plantedAt = elsewhere.path() + "/" + entryName(a);
            QVERIFY(QDir(thumbnails() + "/normal").removeRecursively());
            QVERIFY(QFile::link(elsewhere.path(), thumbnails() + "/normal"));
        } else if (obstacle == "large link") {
            QVERIFY(QFile::link(elsewhere.path(), thumbnails() + "/large"));
        } else if (obstacle == "group" || obstacle == "others") {
            const QString loose = obstacle == "group" ? thumbnails() + "/normal" : thumbnails();
            QVERIFY(QFile::setPermissions(loose, QFileInfo(loose).permissions()
                                                     | (obstacle == "group" ? QFile::WriteGroup : QFile::WriteOther)));
        } else if (obstacle == "read-only") {
            QVERIFY(QFile::setPermissions(thumbnails(), QFile::ReadOwner | QFile::ExeOwner));
            if (QFileInfo(thumbnails()).isWritable())
                QSKIP("running as a user who may write anywhere");
            plantedAt.clear();
        } else if (obstacle == "cache home") {
            qputenv("XDG_CACHE_HOME", QFile::encodeName(folder->text("cache-home")));
            plantedAt.clear();
        } else if (obstacle == "folders") {
            QVERIFY(QDir(thumbnails() + "/normal").removeRecursively());
            writeAll(thumbnails() + "/normal", "");
            writeAll(thumbnails() + "/fail", "");
            plantedAt.clear();
        }
        if (!plantedAt.isEmpty())
            writeAll(plantedAt, planted);

        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        SharedThumbnail::waitForWrites();
        QVERIFY(near(middle(list->Image1(0).picture()).rgb(), used ? QColor(20, 40, 230) : QColor(Qt::green)));
        QVERIFY(near(middle(list->Image1(1).picture()).rgb(), Qt::green));
        QCOMPARE(test::takeMessages(), QStringList());
        if (!plantedAt.isEmpty())
            QCOMPARE(readAll(plantedAt), planted);
        QCOMPARE(QFileInfo(normal(b)).isFile(), used || obstacle == "entry link");
        QVERIFY(!QFileInfo(normal(a)).isSymLink());  // a link entry is replaced, not written through
    }

    void failureMarkKeepsAFileFromBeingTriedAgainUntilItChanges()
    {
        const QString file = folder->picture("bad.jpg", QSize(320, 240), Qt::green);
        const QByteArray good = readAll(file);
        const QByteArray padded = good + QByteArray(100, '\0');  // decodes as well
        QByteArray bad = padded;
        bad.replace(0, 4, "XXXX");
        writeAll(file, bad);
        const qint64 second = QFileInfo(file).lastModified().toSecsSinceEpoch() * 1000;
        setModified(file, second);
        Form10 *list = test::openThumbnailList();
        QVERIFY(list && list->Image1(0).picture().isEmpty());
        SharedThumbnail::waitForWrites();
        const QImage mark(failMark(file), "png");
        QVERIFY(!mark.isNull());
        QCOMPARE(mark.text("Thumb::URI"), QString::fromLatin1(SharedThumbnail::uriOf(file)));
        QCOMPARE(mark.text("Thumb::MTime"), QString::number(second / 1000));
        QCOMPARE(mark.text("Thumb::Size"), QString::number(bad.size()));
        QCOMPARE(QFileInfo(failMark(file)).permissions() & kGroupOrOther, QFile::Permissions());
        QVERIFY(!QFile::exists(normal(file)));
        closeList();

        // Repaired to the same size within the same second, it is not read
        // again: nothing tells it changed, and the mark holds.
        writeAll(file, padded);
        setModified(file, second);
        list = test::openThumbnailList();
        QVERIFY(list && list->Image1(0).picture().isEmpty());
        closeList();

        // Repaired to another size, it is.
        writeAll(file, good);
        setModified(file, second);
        list = test::openThumbnailList();
        QVERIFY(list && near(middle(list->Image1(0).picture()).rgb(), Qt::green));
        SharedThumbnail::waitForWrites();
        QVERIFY(QFile::exists(normal(file)));
    }

    void picturesInsideTheCacheGetNoThumbnail()
    {
        const QString inside = thumbnails() + "/pictures";
        QVERIFY(QDir().mkpath(inside));
        QImage image(100, 80, QImage::Format_RGB32);
        image.fill(Qt::green);
        QVERIFY(image.save(inside + "/a.jpg"));
        test::unloadAllWindows();
        QVERIFY(test::startIn(inside));
        Form10 *list = test::openThumbnailList();
        QVERIFY(list && !list->Image1(0).picture().isEmpty());
        SharedThumbnail::waitForWrites();
        QCOMPARE(filesUnder(thumbnails()), QStringList({inside + "/a.jpg"}));
    }

    // Ending the program while thumbnails are still being made and written,
    // on a disk that writes slowly: what is queued is dropped, not drained.
    // A disk that does not keep up costs thumbnails, never memory or a decoder's time.
    void aWriterBehindDropsWhatItCannotHold()
    {
        std::atomic<bool> stalled{true};
        cachewriter::setPause([&] { while (stalled) QThread::msleep(1); });
        auto restore = qScopeGuard([] { cachewriter::setPause({}); });
        for (int k = 0; k < 100; ++k) {
            const QString file = folder->picture(QString("s%1.bmp").arg(k), QSize(8, 8), Qt::red);
            SharedThumbnail::of(file)->store(blue(QSize(8, 8)), QSize(8, 8), QSize(65, 65));  // returns at once
        }
        stalled = false;
        SharedThumbnail::waitForWrites();
        const qsizetype written = filesUnder(thumbnails() + "/normal").size();
        QVERIFY2(written > 0 && written <= 65, qPrintable(QString::number(written)));  // 64 waiting, 1 writing
    }

    void endingTheProgramDropsTheWorkInFlight()
    {
        for (int k = 0; k < 60; ++k)
            folder->picture(QString("p%1.jpg").arg(k, 2, 10, QLatin1Char('0')), QSize(320, 240), Qt::green);
        std::atomic<int> begun{0}, madeAfterEnd{0};
        static std::atomic<bool> ended{false};  // outlives the case: the program's end keeps its tasks
        QStringList atEnd;  // the cache as the process would leave it
        ThumbnailQueue::setMaker([&](const QString &path, QSize shown) {
            const bool late = ended;
            if (++begun == 20) {  // mid-work, as a user would choose 終了
                QMetaObject::invokeMethod(qApp, [&] {
                    main().mnuExit->trigger();
                    atEnd = filesUnder(thumbnails());
                }, Qt::QueuedConnection);
            }
            QThread::msleep(10);
            const Thumbnail made = makeThumbnail(path, shown);
            madeAfterEnd += late && !made.image.isNull();
            return made;
        });
        cachewriter::setPause([] { QThread::msleep(40); });
        auto restore = qScopeGuard([] {
            ThumbnailQueue::setMaker({});
            cachewriter::setPause({});
            cachewriter::resume();
        });
        test::takeEndRequests();
        rt::atEnd([] { ended = true; });
        QVERIFY(test::openThumbnailList());
        QCOMPARE(test::takeEndRequests(), 1);
        QTest::qWait(300);
        QCOMPARE(filesUnder(thumbnails()), atEnd);     // no write after the end
        QVERIFY(atEnd.filter(".pixmoor-").isEmpty());  // nor half of one
        // Dropped, not drained: most of the thumbnails made before the end are not written.
        QVERIFY2(atEnd.size() < 10, qPrintable(QString::number(atEnd.size())));
        QCOMPARE(madeAfterEnd.load(), 0);              // no decode either
    }
};

QTEST_MAIN(SharedThumbnailsTest)
#include "tst_shared_thumbnails.moc"
