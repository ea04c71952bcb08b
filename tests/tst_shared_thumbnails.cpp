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
#include "runtime/services/Program.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"
#include "support/TestSupport.h"
#include "thumbs/Form10.h"
#include "thumbnailing/CacheWriter.h"
#include "thumbnailing/SharedThumbnails.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTest>

#include <zlib.h>


namespace {

// None on Windows, which keeps no mode bits.
constexpr auto kGroupOrOther = test::kModeBits ? QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                                     | QFile::WriteOther | QFile::ExeOther : QFile::Permissions();
const QColor kBlue(20, 40, 230), kGreen(Qt::green);
const QSize kPhoto(320, 240);

QImage solid(QSize size = QSize(128, 96), QColor color = kBlue)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// Whether cell k of `list` shows `expected` in its middle.
bool shows(Form10 *list, int k, QColor expected)
{
    const QImage image = list ? list->Image1(k).picture().image() : QImage();
    const QColor c = image.isNull() ? QColor() : QColor(image.pixel(image.width() / 2, image.height() / 2));
    return !image.isNull() && qAbs(c.red() - expected.red()) < 40 && qAbs(c.green() - expected.green()) < 40
        && qAbs(c.blue() - expected.blue()) < 40;
}

// A path from "/" on Windows is on the program's drive: under Wine, Z: holds the system's files.
QByteArray readAll(const QString &path)
{
    QFile file(QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes, qint64 modified = -1)
{
    QFile file(path);
    // Flushed first, or closing would write, and stamp, after the time is set.
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush());
    QVERIFY(modified < 0 || file.setFileTime(QDateTime::fromMSecsSinceEpoch(modified), QFileDevice::FileModificationTime));
}

// A text chunk as stored, of `type` as other programs may write it: tEXt
// plain, zTXt compressed, iTXt international (uncompressed here).
QByteArray textChunk(const QByteArray &type, const QString &key, const QString &value)
{
    QByteArray data = type + key.toLatin1() + '\0';
    if (type == "zTXt")
        data += '\0' + qCompress(value.toLatin1()).mid(4);  // a zlib stream without Qt's length
    else if (type == "iTXt")
        data += QByteArray(4, '\0') + value.toUtf8();   // flag, method, no language, no translation
    else
        data += value.toLatin1();
    const auto be32 = [](quint32 value) { return QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(8, '0')); };
    return be32(data.size() - 4) + data + be32(crc32(0, reinterpret_cast<const Bytef *>(data.data()), uInt(data.size())));
}

// `image` as a PNG holding `text` in chunks of `type`, right after its header.
QByteArray png(const QImage &image, const QList<std::pair<QString, QString>> &text, const QByteArray &type = "tEXt")
{
    QByteArray bytes, chunks;
    QBuffer buffer(&bytes);  // opened by the writer
    image.save(&buffer, "png");
    for (const auto &[key, value] : text)
        chunks += textChunk(type, key, value);
    return bytes.insert(33, chunks);
}

// `jpeg` tagged with the ICC profile `icc` as cameras store it, in one APP2 segment.
QByteArray withProfile(QByteArray jpeg, const QByteArray &icc)
{
    const QByteArray segment = QByteArray("ICC_PROFILE\0\1\1", 14) + icc;
    const int length = int(segment.size()) + 2;
    return icc.isEmpty() ? jpeg : jpeg.insert(2, "\xff\xe2" + QByteArray(1, char(length >> 8)) + char(length) + segment);
}

} // namespace

class SharedThumbnailsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> cacheHome;
    std::unique_ptr<test::Folder> folder;

    QString thumbnails() const { return cacheHome->path() + "/thumbnails"; }
    // Where the cache keeps `file`'s entry in `folder`: named by the MD5 of its
    // URI, spelt here apart from the program's (UTF-8, escaped as GLib does).
    QString entry(const QString &file, const QString &folder = "normal") const
    {
        const QByteArray uri = "file://" + QUrl::toPercentEncoding(QUrl::fromLocalFile(file).path(QUrl::FullyDecoded), "!$&'()*+,/:=@~");
        return thumbnails() + "/" + folder + "/" + QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png";
    }

    // The keys a valid entry for `file` holds, as the standard names them;
    // only the two it requires when not `all`.
    QList<std::pair<QString, QString>> keysOf(const QString &file, bool all = true, QSize image = {4000, 3000}) const
    {
        const QFileInfo info(file);
        QList<std::pair<QString, QString>> keys = {
            {"Thumb::URI", QString::fromLatin1(SharedThumbnail::uriOf(info.absoluteFilePath()))},
            {"Thumb::MTime", QString::number(info.lastModified().toSecsSinceEpoch())}};
        if (all)
            keys += {{"Thumb::Size", QString::number(info.size())}, {"Thumb::Image::Width", QString::number(image.width())},
                     {"Thumb::Image::Height", QString::number(image.height())}};
        return keys;
    }

    QStringList filesUnder(const QString &path) const
    {
        QStringList found;
        for (QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
            found << it.next();
        found.sort();
        return found;
    }

private slots:
    void initTestCase()
    {
        qputenv("GIO_USE_VFS", "local");  // for GLib's reader, below
        test::prepareApplication();
    }

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
        ThumbnailQueue::setMaker({});
        cachewriter::setPause({});
        cachewriter::resume();
        QFile::setPermissions(thumbnails(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Valid entries fill the cell, whichever program wrote them, and are
    // kept; anything else is ignored and the picture itself is shown.
    void entriesOfAnyProgramFillTheCell_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("chunk");
        QTest::addColumn<bool>("allKeys");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("fileSize");  // invalid: the picture itself is shown
        QTest::newRow("ours") << "" << "tEXt" << true << 1 << QSize(4000, 3000);
        QTest::newRow("GLib's two keys") << "" << "tEXt" << false << 1 << kPhoto;
        QTest::newRow("two keys, photo turned") << "" << "tEXt" << false << 6 << QSize(240, 320);
        QTest::newRow("keys in zTXt") << "" << "zTXt" << true << 1 << QSize(4000, 3000);
        QTest::newRow("two keys in iTXt") << "" << "iTXt" << false << 1 << kPhoto;
        for (const char *row : {"more text than we read", "stale", "other file", "other size", "truncated", "huge header",
                                "not a png", "too large for its folder", "named pipe", "folder"})
            QTest::newRow(row) << row << "tEXt" << (row[0] != 'm') << 1 << QSize();
    }

    void entriesOfAnyProgramFillTheCell()
    {
        QFETCH(QString, damage);
        QFETCH(QString, chunk);
        QFETCH(bool, allKeys);
        QFETCH(int, orientation);
        QFETCH(QSize, fileSize);
        // Left byte for byte, or else written again in tEXt.
        const bool kept = chunk == "tEXt" && !QStringList{"stale", "other file", "other size", "not a png"}.contains(damage);
        const QString file = folder->picture("photo.jpg", kPhoto, kGreen);
        writeAll(file, testart::withCameraExif(readAll(file), {.orientation = orientation, .thumbnail = {}}));
        auto keys = keysOf(file, allKeys);
        for (int k = 0; damage == "more text than we read" && k < 20; ++k)
            keys.append({QString("Comment %1").arg(k), "from another program"});
        if (damage == "stale")
            keys[1].second = QString::number(keys[1].second.toLongLong() - 1);
        else if (damage == "other file")
            keys[0].second = QString::fromLatin1(SharedThumbnail::uriOf(folder->file("other.jpg")));
        else if (damage == "other size")
            keys[2].second = "12";
        QByteArray planted = png(damage == "too large for its folder" ? solid({256, 192}) : solid(), keys, chunk.toLatin1());
        if (damage == "truncated")
            planted.chop(40);
        else if (damage == "huge header")  // the width and height in the header
            planted.replace(16, 8, QByteArray::fromHex("000186a0000186a0"));
        else if (damage == "not a png")
            planted = testart::encodeBmp24(solid());
        QDir().mkpath(thumbnails() + "/normal");
        writeAll(entry(file) + ".pixmoor-" + QString::number(QCoreApplication::applicationPid()), "a writer of this id killed");
        if (damage == "named pipe" || damage == "folder") {
            QVERIFY(damage == "folder" ? QDir().mkdir(entry(file)) : test::makeBlockingFile(entry(file)));
            planted.clear();
        } else {
            writeAll(entry(file), planted);
        }

        Form10 *list = test::openThumbnailList();
        SharedThumbnail::waitForWrites();
        QVERIFY(shows(list, 0, fileSize.isValid() ? kBlue : kGreen));
        QCOMPARE(list->Image1(0).picture().fileSize(), fileSize.isValid() ? fileSize : kPhoto);
        const QByteArray now = planted.isEmpty() ? QByteArray() : readAll(entry(file));
        QCOMPARE(now == planted, kept);
        if (!kept)
            QVERIFY(now.contains(textChunk("tEXt", "Thumb::URI", keysOf(file)[0].second)));
    }

    // A picture tagged with a colour profile shows in sRGB, as colour-managed
    // viewers show it, wherever it is loaded, and its cache entry is in sRGB;
    // untagged, in sRGB or with a profile Qt cannot use, it is left as it is.
    void picturesShowInTheirOwnColours_data()
    {
        QTest::addColumn<QString>("profile");  // one of colord-data's
        QTest::addColumn<QColor>("shown");     // rgb(60, 160, 60) converted by Little CMS
        QTest::newRow("untagged") << "" << QColor(60, 160, 60);
        QTest::newRow("sRGB") << "sRGB" << QColor(60, 160, 60);
        QTest::newRow("ProPhoto RGB") << "ProPhotoRGB" << QColor(0, 190, 37);
        QTest::newRow("Adobe RGB") << "AdobeRGB1998" << QColor(0, 161, 46);
        QTest::newRow("sRGB primaries, other curve") << "Rec709" << QColor(75, 169, 75);
        QTest::newRow("named colours only") << "Crayons" << QColor(60, 160, 60);
    }

    void picturesShowInTheirOwnColours()
    {
        QFETCH(QString, profile);
        QFETCH(QColor, shown);
        const QByteArray icc = profile.isEmpty() ? "" : readAll("/usr/share/color/icc/colord/" + profile + ".icc");
        QVERIFY2(profile.isEmpty() || !icc.isEmpty(), "colord-data is missing: run scripts/install-deps.sh --test");
        const QString file = folder->picture("photo.jpg", kPhoto, QColor(60, 160, 60));
        writeAll(file, withProfile(readAll(file), icc));
        form1().previewSlots.fill(1, file);
        test::doubleClick(form1().Image1);
        Form10 *list = test::openThumbnailList();
        SharedThumbnail::waitForWrites();
        const std::pair<const char *, QImage> places[] = {
            {"slot", form1().Image1->picture().image()}, {"large view", rt::Form::instance<Form4>().Image1->picture().image()},
            {"cell", list->Image1(0).picture().image()}, {"cache entry", QImage(entry(file))}};
        for (const auto &[place, image] : places) {
            const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
            QVERIFY2(qAbs(c.red() - shown.red()) <= 4 && qAbs(c.green() - shown.green()) <= 4
                         && qAbs(c.blue() - shown.blue()) <= 4,
                     qPrintable(QString("%1: %2").arg(place, c.name())));
        }
    }

    // Pictures inside the cache itself get no entry.
    void writtenEntriesAreValidToTheDesktop_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("name");
        QTest::newRow("short path, plain name") << "short" << "a.jpg";
        QTest::newRow("short path, odd name") << "short" << "写真 [1];#%!$&'()+,=@~" TEST_POSIX_NAME_CHARS " b.jpg";
        QTest::newRow("long path, Japanese name") << "long" << "写真.jpg";  // outside Windows' Western code page
        QTest::newRow("long path, odd name") << "long" << "写真 [1];#%!$&'()+,=@~" TEST_POSIX_NAME_CHARS " b.jpg";
        QTest::newRow("in the cache") << "cache" << "a.jpg";
    }

    void writtenEntriesAreValidToTheDesktop()
    {
        QFETCH(QString, where);
        QFETCH(QString, name);
        const QTemporaryDir shortFolder(QDir::tempPath() + "/pXXXXXX");
        const QString dir = where == "short" ? shortFolder.path()
                          : where == "long"  ? folder->file("pictures of the summer") : thumbnails() + "/pictures";
        const QString photo = dir + "/" + name;
        QVERIFY(QDir().mkpath(dir) && solid(kPhoto, kGreen).save(photo, "jpeg"));
        const qint64 second = QFileInfo(photo).lastModified().toSecsSinceEpoch() * 1000;
        writeAll(photo, readAll(photo), second + 100);
        test::unloadAllWindows();
        QVERIFY(test::startIn(dir));
        QVERIFY(shows(test::openThumbnailList(), 0, kGreen));
        SharedThumbnail::waitForWrites();
        QCOMPARE(filesUnder(thumbnails()), QStringList{where == "cache" ? photo : entry(photo)});
        if (where == "cache")
            return;
        for (const QString &path : {thumbnails(), thumbnails() + "/normal", entry(photo)})
            QCOMPARE(QFileInfo(path).permissions() & kGroupOrOther, QFile::Permissions());
        QCOMPARE(QImage(entry(photo)).size(), QSize(128, 96));
        // Every key in tEXt, as GLib reads it fastest, in order, and no other text.
        const QByteArray stored = readAll(entry(photo));
        QByteArray expected;
        auto keys = keysOf(photo, true, kPhoto);
        for (const auto &[key, value] : keys << std::pair<QString, QString>("Software", "Pixmoor " PIXMOOR_VERSION))
            expected += textChunk("tEXt", key, value);
        QVERIFY(stored.contains(expected));
        QCOMPARE(stored.count("tEXt") + stored.count("zTXt") + stored.count("iTXt"), 6);
        test::unloadAllWindows();
        QVERIFY(test::startIn(dir));

        // A second list reads it. Changed within the same second, the file is
        // new to this run's memory but not to the shared cache (which counts
        // whole seconds); damaged, it could only be shown from there.
        writeAll(photo, readAll(photo).replace(0, 4, "XXXX"), second + 600);
        Form10 *list = test::openThumbnailList();
        QVERIFY(shows(list, 0, kGreen));
        QCOMPARE(list->Image1(0).picture().fileSize(), kPhoto);

#ifndef Q_OS_WIN  // GLib's own reader, as file managers and file choosers use it on Linux.
        QProcess glib;
        glib.start("gio", {"info", "-a", "thumbnail::path,thumbnail::is-valid", photo});
        QVERIFY2(glib.waitForFinished(30000) || glib.error() != QProcess::FailedToStart, "gio is missing: run scripts/install-deps.sh --test");
        const QString said = QString::fromUtf8(glib.readAllStandardOutput());
        QVERIFY2(said.contains("path: " + entry(photo) + "\n") && said.contains("is-valid: TRUE"), qPrintable(said));
#endif
    }

    // A cache that cannot be written, or that someone else could have laid
    // links in, changes nothing visible: its entries are not read, nothing
    // is written in it or through it.
    void onlyACacheOfTheUsersOwnIsUsed_data()
    {
        // The row names the obstacle: none for "sound"; "root a link" is to a sound folder.
        QTest::addColumn<bool>("used");     // a.jpg's entry fills its cell, b.jpg's is written; else neither
        QTest::addColumn<bool>("planted");  // a.jpg's entry is planted: not where a file stands in a folder's place
        // Windows: Qt's links are shortcut files; no mode bits, and a read-only folder keeps no file out.
        const bool links = !test::kLinksAreFiles, modes = test::kModeBits;
        for (const auto &[row, used, planted] : std::initializer_list<std::tuple<const char *, bool, bool>>{
                 {"sound", true, true}, {"root a link", links, links}, {"entry a link", false, true}, {"large/ a link", false, true},
                 {"normal/ a link once written", false, links}, {"normal/ group-writable", !modes, true}, {"root read-only", !modes, !modes},
                 {"root others-writable", !modes, true}, {"cache home a file", false, false}, {"its folders files", false, false}})
            QTest::newRow(row) << used << planted;
    }

    void onlyACacheOfTheUsersOwnIsUsed()
    {
        const QString obstacle = QTest::currentDataTag();
        QFETCH(bool, used);
        QFETCH(bool, planted);
        const QString a = folder->picture("a.jpg", kPhoto, kGreen), b = folder->picture("b.jpg", kPhoto, kGreen);
        const QTemporaryDir elsewhere;
        const QString cache = thumbnails(), out = elsewhere.path();
        const QByteArray entryOfA = png(solid(), keysOf(a));
        QString plantedAt = planted ? entry(a) : QString();
        QVERIFY(QDir().mkpath(cache + "/normal"));
        if (obstacle == "root a link")
            QVERIFY(QDir(cache).removeRecursively() && QDir().mkpath(out + "/normal") && QFile::link(out, cache));
        else if (obstacle == "entry a link")
            QVERIFY(QFile::link(plantedAt = out + "/target", entry(a)));
        else if (obstacle == "normal/ a link once written") {  // swapped after a check; the entry is planted through it
            SharedThumbnail::of(b)->store(solid({128, 96}, kGreen), kPhoto, {65, 65});
            SharedThumbnail::waitForWrites();
            QVERIFY(QFileInfo(entry(b)).isFile() && QFile::rename(cache + "/normal", cache + "/old"));
            QVERIFY(QFile::link(out, cache + "/normal"));
        }
        else if (obstacle == "large/ a link")
            QVERIFY(QFile::link(out, cache + "/large"));
        else if (obstacle == "normal/ group-writable")
            QVERIFY(QFile::setPermissions(cache + "/normal", QFile::permissions(cache + "/normal") | QFile::WriteGroup));
        else if (obstacle == "root others-writable")
            QVERIFY(QFile::setPermissions(cache, QFile::permissions(cache) | QFile::WriteOther));
        else if (obstacle == "root read-only" && QFile::setPermissions(cache, QFile::ReadOwner | QFile::ExeOwner)
                 && QFileInfo(cache).isWritable() && !used)
            QSKIP("running as a user who may write anywhere");
        else if (obstacle == "cache home a file")
            qputenv("XDG_CACHE_HOME", QFile::encodeName(folder->text("cache-home")));
        else if (obstacle == "its folders files")
            QVERIFY(QDir(cache + "/normal").removeRecursively() && QFile(cache + "/normal").open(QIODevice::WriteOnly)
                    && QFile(cache + "/fail").open(QIODevice::WriteOnly));
        if (!plantedAt.isEmpty())
            writeAll(plantedAt, entryOfA);

        Form10 *list = test::openThumbnailList();
        SharedThumbnail::waitForWrites();
        QVERIFY(shows(list, 0, used ? kBlue : kGreen) && shows(list, 1, kGreen));
        QCOMPARE(test::takeMessages(), QStringList());
        QCOMPARE(plantedAt.isEmpty() ? entryOfA : readAll(plantedAt), entryOfA);
        QCOMPARE(QFileInfo(entry(b)).isFile(), used || obstacle == "entry a link");
        QVERIFY(!QFileInfo(entry(a)).isSymLink());  // a link entry is replaced, not written through
    }

    void failureMarkKeepsAFileFromBeingTriedAgainUntilItChanges()
    {
        const QString file = folder->picture("bad.jpg", kPhoto, kGreen);
        const QByteArray good = readAll(file), padded = good + QByteArray(100, '\0');  // decodes as well
        const qint64 second = QFileInfo(file).lastModified().toSecsSinceEpoch() * 1000;
        const auto listOf = [&](const QByteArray &bytes) {  // written within the same second
            test::unloadAllWindows();
            writeAll(file, bytes, second);
            Form10 *list = test::startIn(folder->path()) ? test::openThumbnailList() : nullptr;
            SharedThumbnail::waitForWrites();
            return list;
        };
        const auto empty = [](Form10 *list) { return list && list->Image1(0).picture().isEmpty(); };
        QVERIFY(empty(listOf(QByteArray(padded).replace(0, 4, "XXXX"))));
        const QString mark = entry(file, "fail/pixmoor-" PIXMOOR_VERSION);
        for (const auto &[key, value] : keysOf(file).mid(0, 3))
            QCOMPARE(QImage(mark, "png").text(key), value);
        QCOMPARE(QFileInfo(mark).permissions() & kGroupOrOther, QFile::Permissions());
        QVERIFY(!QFile::exists(entry(file)));

        // Repaired to the same size, it is not read again: nothing tells it
        // changed, and the mark holds. Repaired to another size, it is.
        QVERIFY(empty(listOf(padded)));
        QVERIFY(shows(listOf(good), 0, kGreen));
        QVERIFY(QFile::exists(entry(file)));
    }

    // A disk that does not keep up costs thumbnails, never memory or a decoder's time.
    void aWriterBehindDropsWhatItCannotHold()
    {
        std::atomic<bool> stalled{true};
        cachewriter::setPause([&] { while (stalled) QThread::msleep(1); });
        for (int k = 0; k < 100; ++k)  // each store returns at once
            SharedThumbnail::of(folder->picture(QString("s%1.bmp").arg(k), QSize(8, 8)))
                ->store(solid(QSize(8, 8)), QSize(8, 8), QSize(65, 65));
        stalled = false;
        SharedThumbnail::waitForWrites();
        const qsizetype written = filesUnder(thumbnails() + "/normal").size();
        QVERIFY2(written > 0 && written <= 65, qPrintable(QString::number(written)));  // 64 waiting, 1 writing
    }

    // Ending the program while thumbnails are still being made and written,
    // on a disk that writes slowly: what is queued is dropped, not drained.
    void endingTheProgramDropsTheWorkInFlight()
    {
        for (int k = 0; k < 60; ++k)
            folder->picture(QString("p%1.jpg").arg(k, 2, 10, QLatin1Char('0')), kPhoto, kGreen);
        std::atomic<int> begun{0}, madeAfterEnd{0};
        static std::atomic<bool> ended{false};  // outlives the case: the program's end keeps its tasks
        QStringList atEnd;  // the cache as the process would leave it
        ThumbnailQueue::setMaker([&](const QString &path, QSize shown) {
            const bool late = ended;
            if (++begun == 20)  // mid-work, as a user would choose 終了
                QMetaObject::invokeMethod(qApp, [&] {
                    form1().mnuExit->trigger();
                    atEnd = filesUnder(thumbnails());
                }, Qt::QueuedConnection);
            QThread::msleep(10);
            const Thumbnail made = makeThumbnail(path, shown);
            madeAfterEnd += late && !made.image.isNull();
            return made;
        });
        cachewriter::setPause([] { QThread::msleep(40); });
        test::takeEndRequests();
        rt::atEnd([](QDeadlineTimer) { return ended = true; });
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
