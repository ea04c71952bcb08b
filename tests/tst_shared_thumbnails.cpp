// The desktop's shared thumbnail cache: valid entries fill cells without
// decoding, anything else in it is ignored, entries written back follow the
// freedesktop.org standard, a cache that cannot be written changes nothing
// visible, and failure marks keep an undecodable file from being tried again.
// Every case has a cache of its own in a temporary folder.
#include "BmpIcoWriter.h"
#include "app/Form1.h"
#include "runtime/controls/FileListBox.h"
#include "support/TestSupport.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/SharedThumbnails.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>

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

QByteArray png(const QImage &image, const QList<std::pair<QString, QString>> &text)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage keyed = image;
    for (const auto &[key, value] : text)
        keyed.setText(key, value);
    keyed.save(&buffer, "png");
    return bytes;
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

    // The keys a valid entry for `file` holds, as the standard names them.
    QList<std::pair<QString, QString>> keysOf(const QString &file) const
    {
        const QFileInfo info(file);
        return {{"Thumb::URI", QString::fromLatin1(SharedThumbnail::uriOf(info.absoluteFilePath()))},
                {"Thumb::MTime", QString::number(info.lastModified().toSecsSinceEpoch())},
                {"Thumb::Size", QString::number(info.size())},
                {"Thumb::Image::Width", "4000"},
                {"Thumb::Image::Height", "3000"}};
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

    void validEntryFillsTheCellWithoutDecoding()
    {
        // Not a picture at all: only the cache can give this cell its picture.
        const QString file = folder->text("photo.jpg", QByteArray(5000, 'x'));
        QDir().mkpath(thumbnails() + "/normal");
        writeAll(normal(file), png(blue(), keysOf(file)));
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        const rt::Picture &cell = list->Image1(0).picture();
        QVERIFY(!cell.isEmpty());
        QCOMPARE(cell.image().size(), QSize(65, 65));
        QVERIFY(near(middle(cell).rgb(), QColor(20, 40, 230)));
        QCOMPARE(cell.fileSize(), QSize(4000, 3000));
    }

    void unusableEntriesAreIgnored_data()
    {
        QTest::addColumn<QString>("damage");
        for (const char *row : {"stale", "other file", "other size", "no picture size", "truncated", "huge header",
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
        else if (damage == "no picture size")
            keys.removeLast(), keys.removeLast();
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

    void decodedThumbnailsAreWrittenAsTheStandardSaysAndReadBack()
    {
        const QString photo = folder->picture("a.jpg", QSize(320, 240), Qt::green);
        const QString odd = folder->picture("写真 [1];.bmp", QSize(200, 100), Qt::red);
        const qint64 second = QFileInfo(photo).lastModified().toSecsSinceEpoch() * 1000;
        setModified(photo, second + 100);
        QVERIFY(test::openThumbnailList());
        SharedThumbnail::waitForWrites();

        QCOMPARE(QFileInfo(thumbnails()).permissions() & kGroupOrOther, QFile::Permissions());
        QCOMPARE(QFileInfo(thumbnails() + "/normal").permissions() & kGroupOrOther, QFile::Permissions());
        QStringList written{normal(photo), normal(odd)};
        written.sort();
        QCOMPARE(filesUnder(thumbnails()), written);
        const struct
        {
            QString file;
            QSize thumbnail, picture;
        } expected[] = {{photo, {128, 96}, {320, 240}}, {odd, {128, 64}, {200, 100}}};
        for (const auto &e : expected) {
            QVERIFY(QFileInfo(normal(e.file)).permissions() & QFile::ReadOwner);
            QCOMPARE(QFileInfo(normal(e.file)).permissions() & kGroupOrOther, QFile::Permissions());
            const QImage reader(normal(e.file), "png");  // its text keys as Qt reads them
            QCOMPARE(reader.size(), e.thumbnail);
            const QFileInfo info(e.file);
            QCOMPARE(reader.text("Thumb::URI"), QString::fromLatin1(SharedThumbnail::uriOf(info.absoluteFilePath())));
            QCOMPARE(reader.text("Thumb::MTime"), QString::number(info.lastModified().toSecsSinceEpoch()));
            QCOMPARE(reader.text("Thumb::Size"), QString::number(info.size()));
            QCOMPARE(reader.text("Thumb::Image::Width"), QString::number(e.picture.width()));
            QCOMPARE(reader.text("Thumb::Image::Height"), QString::number(e.picture.height()));
            QCOMPARE(reader.text("Software"), QStringLiteral("Pixmoor " PIXMOOR_VERSION));
        }
        closeList();

        // A second list reads them. Changed within the same second, the file
        // is new to this run's memory but not to the shared cache (which
        // counts whole seconds); damaged, it could only be shown from there.
        QByteArray bytes = readAll(photo);
        bytes.replace(0, 4, "XXXX");
        writeAll(photo, bytes);
        setModified(photo, second + 600);
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        QVERIFY(near(middle(list->Image1(0).picture()).rgb(), Qt::green));
        QCOMPARE(list->Image1(0).picture().fileSize(), QSize(320, 240));
    }

    void cacheThatCannotBeWrittenChangesNothingVisible_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("read-only folder") << "read-only";
        QTest::newRow("cache home is a file") << "cache home";
        QTest::newRow("its folders are files") << "folders";
    }

    void cacheThatCannotBeWrittenChangesNothingVisible()
    {
        QFETCH(QString, obstacle);
        const QString photo = folder->picture("a.jpg", QSize(320, 240), Qt::green);
        folder->text("b.jpg");
        if (obstacle == "cache home") {
            qputenv("XDG_CACHE_HOME", QFile::encodeName(folder->text("cache-home")));
        } else if (obstacle == "folders") {
            QVERIFY(QDir().mkpath(thumbnails()));
            writeAll(thumbnails() + "/normal", "");
            writeAll(thumbnails() + "/fail", "");
        } else {
            QVERIFY(QDir().mkpath(thumbnails()));
            QVERIFY(QFile::setPermissions(thumbnails(), QFile::ReadOwner | QFile::ExeOwner));
            if (QFileInfo(thumbnails()).isWritable())
                QSKIP("running as a user who may write anywhere");
        }
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        SharedThumbnail::waitForWrites();
        QVERIFY(near(middle(list->Image1(0).picture()).rgb(), Qt::green));
        QVERIFY(list->Image1(1).picture().isEmpty());
        QCOMPARE(list->Text1(1).text(), folder->file("b.jpg"));
        QCOMPARE(test::takeMessages(), QStringList());
        const QStringList obstacles{thumbnails() + "/fail", thumbnails() + "/normal"};
        QCOMPARE(filesUnder(cacheHome->path()), obstacle == "folders" ? obstacles : QStringList());
    }

    void failureMarkKeepsAFileFromBeingTriedAgainUntilItChanges()
    {
        const QString file = folder->picture("bad.jpg", QSize(320, 240), Qt::green);
        const QByteArray good = readAll(file);
        QByteArray bad = good;
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
        QCOMPARE(QFileInfo(failMark(file)).permissions() & kGroupOrOther, QFile::Permissions());
        QVERIFY(!QFile::exists(normal(file)));
        closeList();

        // Repaired without the file's time changing, it is not read again: the mark holds.
        writeAll(file, good);
        setModified(file, second);
        list = test::openThumbnailList();
        QVERIFY(list && list->Image1(0).picture().isEmpty());
        closeList();

        // Once the file changes, it is.
        setModified(file, second + 2000);
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
};

QTEST_MAIN(SharedThumbnailsTest)
#include "tst_shared_thumbnails.moc"
