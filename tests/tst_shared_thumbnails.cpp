// The desktop's shared thumbnail cache: valid entries fill cells without
// decoding, whichever program wrote them, and are never replaced; anything
// else in it is ignored; entries written back are valid to GLib's reader; a
// cache that cannot be written, or that others could have tampered with,
// changes nothing visible and is never written; failure marks keep an
// undecodable file from being tried again; cells far from the list's view
// are only looked up; ending the program drops the work in flight. Every case
// has a cache of its own in a temporary folder.
#include "BmpIcoWriter.h"
#include "ExifWriter.h"
#include "app/Form1.h"
#include "runtime/services/Program.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"
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
#include <QProcess>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QTest>

#include <utility>

namespace {

// None on Windows, which keeps no mode bits.
constexpr auto kGroupOrOther = test::kModeBits
    ? QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther
    : QFile::Permissions();
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
    return list && test::closeInColour(test::colourAt(list->Image1(k).picture().image()), expected);
}

// A text chunk as stored, of `type` as other programs may write it: tEXt
// plain, zTXt compressed, iTXt international (uncompressed here).
QByteArray textChunk(const QByteArray &type, const QString &key, const QString &value)
{
    QByteArray data = type + key.toLatin1() + '\0';
    if (type == "zTXt")
        data += '\0' + qCompress(value.toLatin1()).mid(4);  // a zlib stream without Qt's length
    else if (type == "iTXt")
        data += QByteArray(4, '\0') + value.toUtf8();  // flag, method, no language, no translation
    else
        data += value.toLatin1();
    const auto be32 = [](quint32 value) {
        return QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(8, '0'));
    };
    return be32(data.size() - 4) + data + be32(test::crc32(data));
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
    return icc.isEmpty() ? jpeg
                         : jpeg.insert(2, "\xff\xe2" + QByteArray(1, char(length >> 8)) + char(length) + segment);
}

using Keys = QList<std::pair<QString, QString>>;

// What a case makes of a file's entry at `at`, given the keys a valid one
// holds: the bytes to write there, or none when it made something else there.
using PlantEntry = std::function<QByteArray(Keys keys, const QString &at)>;

// The scene of a cache case: where its entries are, and what it may spoil.
struct Scene
{
    QString cache, out;  // the cache folder, a folder of the user's outside it
    QString b, entryB;   // a picture whose entry the list writes, and where
    QString plantedAt;   // where a.jpg's valid entry is planted; none if empty
    const test::Folder *folder;
};
using Obstacle = std::function<bool(Scene &)>;

}  // namespace

Q_DECLARE_METATYPE(PlantEntry)
Q_DECLARE_METATYPE(Obstacle)

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
        const QByteArray uri =
            "file://" + QUrl::toPercentEncoding(QUrl::fromLocalFile(file).path(QUrl::FullyDecoded), "!$&'()*+,/:=@~");
        return thumbnails() + "/" + folder + "/" + QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()
            + ".png";
    }

    // The keys a valid entry for `file` holds, as the standard names them;
    // the first two are the ones it requires.
    Keys keysOf(const QString &file, QSize image = {4000, 3000}) const
    {
        const QFileInfo info(file);
        return {{"Thumb::URI", QString::fromLatin1(SharedThumbnail::uriOf(info.absoluteFilePath()))},
                {"Thumb::MTime", QString::number(info.lastModified().toSecsSinceEpoch())},
                {"Thumb::Size", QString::number(info.size())},
                {"Thumb::Image::Width", QString::number(image.width())},
                {"Thumb::Image::Height", QString::number(image.height())}};
    }

    QStringList filesUnder(const QString &path) const
    {
        QStringList found;
        for (QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
             it.hasNext();)
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
        QTest::addColumn<PlantEntry>("plant");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("fileSize");  // invalid: the picture itself is shown
        QTest::addColumn<bool>("kept");       // left byte for byte, else written again in tEXt
        const auto valid = [](const char *chunk, int keys) {
            return PlantEntry([=](const Keys &k, const QString &) { return png(solid(), k.mid(0, keys), chunk); });
        };
        const auto key = [](int n, const std::function<QString(const QString &)> &change) {
            return PlantEntry([=](Keys k, const QString &) {
                k[n].second = change(k[n].second);
                return png(solid(), k);
            });
        };
        const auto bytes = [](const std::function<QByteArray(QByteArray)> &change) {
            return PlantEntry([=](const Keys &k, const QString &) { return change(png(solid(), k)); });
        };
        const auto made = [](void (*make)(const QString &at)) {  // something else there, no bytes
            return PlantEntry([=](const Keys &, const QString &at) {
                make(at);
                return QByteArray();
            });
        };
        QTest::newRow("ours") << valid("tEXt", 5) << 1 << QSize(4000, 3000) << true;
        QTest::newRow("GLib's two keys") << valid("tEXt", 2) << 1 << kPhoto << true;
        QTest::newRow("two keys, photo turned") << valid("tEXt", 2) << 6 << QSize(240, 320) << true;
        QTest::newRow("keys in zTXt") << valid("zTXt", 5) << 1 << QSize(4000, 3000) << false;
        QTest::newRow("two keys in iTXt") << valid("iTXt", 2) << 1 << kPhoto << false;
        QTest::newRow("more text than we read") << PlantEntry([](const Keys &k, const QString &) {
            Keys more = k.mid(0, 2);
            for (int n = 0; n < 20; ++n)
                more.append({QString("Comment %1").arg(n), "from another program"});
            return png(solid(), more);
        }) << 1 << QSize() << true;
        QTest::newRow("stale") << key(1, [](const QString &s) { return QString::number(s.toLongLong() - 1); }) << 1
                               << QSize() << false;
        QTest::newRow("other file") << key(0, [](auto) { return QString(SharedThumbnail::uriOf("/other.jpg")); }) << 1
                                    << QSize() << false;
        QTest::newRow("other size") << key(2, [](auto) { return QString("12"); }) << 1 << QSize() << false;
        QTest::newRow("truncated") << bytes([](QByteArray b) { return b.chopped(40); }) << 1 << QSize() << true;
        QTest::newRow("huge header")  // its width and height
            << bytes([](QByteArray b) { return b.replace(16, 8, QByteArray::fromHex("000186a0000186a0")); }) << 1
            << QSize() << true;
        QTest::newRow("not a png") << bytes([](auto) { return testart::encodeBmp24(solid()); }) << 1 << QSize()
                                   << false;
        QTest::newRow("too large for its folder") << PlantEntry([](const Keys &k, const QString &) {
            return png(solid({256, 192}), k);
        }) << 1 << QSize() << true;
        QTest::newRow("named pipe") << made([](const QString &at) { test::makeBlockingFile(at); }) << 1 << QSize()
                                    << true;
        QTest::newRow("folder") << made([](const QString &at) { QDir().mkdir(at); }) << 1 << QSize() << true;
    }

    void entriesOfAnyProgramFillTheCell()
    {
        QFETCH(PlantEntry, plant);
        QFETCH(int, orientation);
        QFETCH(QSize, fileSize);
        QFETCH(bool, kept);
        const QString file = folder->picture("photo.jpg", kPhoto, kGreen);
        test::write(file,
                    testart::withCameraExif(test::contentOf(file), {.orientation = orientation, .thumbnail = {}}));
        QDir().mkpath(thumbnails() + "/normal");
        test::write(entry(file) + ".pixmoor-" + QString::number(QCoreApplication::applicationPid()),
                    "a writer of this id killed");
        const QByteArray planted = plant(keysOf(file), entry(file));
        if (planted.isEmpty())
            QVERIFY(QFileInfo::exists(entry(file)));
        else
            test::write(entry(file), planted);

        Form10 *list = test::openThumbnailList();
        SharedThumbnail::waitForWrites();
        QVERIFY(shows(list, 0, fileSize.isValid() ? kBlue : kGreen));
        QCOMPARE(list->Image1(0).picture().fileSize(), fileSize.isValid() ? fileSize : kPhoto);
        const QByteArray now = planted.isEmpty() ? QByteArray() : test::contentOf(entry(file));
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
        const QByteArray icc =
            profile.isEmpty() ? "" : test::contentOf("/usr/share/color/icc/colord/" + profile + ".icc");
        QVERIFY2(profile.isEmpty() || !icc.isEmpty(), "colord-data is missing: run scripts/install-deps.sh --test");
        const QString file = folder->picture("photo.jpg", kPhoto, QColor(60, 160, 60));
        test::write(file, withProfile(test::contentOf(file), icc));
        form1().previewSlots.fill(1, file);
        test::landJobs();
        test::doubleClick(form1().Image1);
        Form10 *list = test::openThumbnailList();
        SharedThumbnail::waitForWrites();
        const std::pair<const char *, QImage> places[] = {
            {"slot", form1().Image1->picture().image()},
            {"large view", rt::Form::instance<Form4>().Image1->picture().image()},
            {"cell", list->Image1(0).picture().image()},
            {"cache entry", QImage(entry(file))}};
        for (const auto &[place, image] : places) {
            const QColor c = test::colourAt(image);
            QVERIFY2(test::closeInColour(c, shown, 5), qPrintable(QString("%1: %2").arg(place, c.name())));
        }
    }

    // Pictures inside the cache itself get no entry.
    void writtenEntriesAreValidToTheDesktop_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("name");
        QTest::newRow("short path, plain name") << "short"
                                                << "a.jpg";
        QTest::newRow("short path, odd name") << "short"
                                              << "写真 [1];#%!$&'()+,=@~" TEST_POSIX_NAME_CHARS " b.jpg";
        QTest::newRow("long path, Japanese name") << "long"
                                                  << "写真.jpg";  // outside Windows' Western code page
        QTest::newRow("long path, odd name") << "long"
                                             << "写真 [1];#%!$&'()+,=@~" TEST_POSIX_NAME_CHARS " b.jpg";
        QTest::newRow("in the cache") << "cache"
                                      << "a.jpg";
    }

    void writtenEntriesAreValidToTheDesktop()
    {
        QFETCH(QString, where);
        QFETCH(QString, name);
        const QTemporaryDir shortFolder(QDir::tempPath() + "/pXXXXXX");
        const QString dir = where == "short" ? shortFolder.path()
            : where == "long"                ? folder->file("pictures of the summer")
                                             : thumbnails() + "/pictures";
        const QString photo = dir + "/" + name;
        QVERIFY(QDir().mkpath(dir) && solid(kPhoto, kGreen).save(photo, "jpeg"));
        const qint64 second = QFileInfo(photo).lastModified().toSecsSinceEpoch() * 1000;
        test::write(photo, test::contentOf(photo), second + 100);
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
        const QByteArray stored = test::contentOf(entry(photo));
        QByteArray expected;
        auto keys = keysOf(photo, kPhoto);
        for (const auto &[key, value] : keys << std::pair<QString, QString>("Software", "Pixmoor " PIXMOOR_VERSION))
            expected += textChunk("tEXt", key, value);
        QVERIFY(stored.contains(expected));
        QCOMPARE(stored.count("tEXt") + stored.count("zTXt") + stored.count("iTXt"), 6);
        test::unloadAllWindows();
        QVERIFY(test::startIn(dir));

        // A second list reads it. Changed within the same second, the file is
        // new to this run's memory but not to the shared cache (which counts
        // whole seconds); damaged, it could only be shown from there.
        test::write(photo, test::contentOf(photo).replace(0, 4, "XXXX"), second + 600);
        Form10 *list = test::openThumbnailList();
        QVERIFY(shows(list, 0, kGreen));
        QCOMPARE(list->Image1(0).picture().fileSize(), kPhoto);

#ifndef Q_OS_WIN  // GLib's own reader, as file managers and file choosers use it on Linux.
        QProcess glib;
        glib.start("gio", {"info", "-a", "thumbnail::path,thumbnail::is-valid", photo});
        QVERIFY2(glib.waitForFinished(30000) || glib.error() != QProcess::FailedToStart,
                 "gio is missing: run scripts/install-deps.sh --test");
        const QString said = QString::fromUtf8(glib.readAllStandardOutput());
        QVERIFY2(said.contains("path: " + entry(photo) + "\n") && said.contains("is-valid: TRUE"), qPrintable(said));
#endif
    }

    // A cache that cannot be written, or that someone else could have laid
    // links in, changes nothing visible: its entries are not read, nothing
    // is written in it or through it.
    void onlyACacheOfTheUsersOwnIsUsed_data()
    {
        QTest::addColumn<Obstacle>("obstacle");
        QTest::addColumn<bool>("used");      // a.jpg's entry fills its cell, b.jpg's is written
        QTest::addColumn<bool>("bWritten");  // b.jpg's entry is there after all
        const auto permissions = [](const char *folder, QFile::Permissions added) {
            return Obstacle([=](Scene &s) {
                const QString path = s.cache + folder;
                return QFile::setPermissions(path, QFile::permissions(path) | added);
            });
        };
        QTest::newRow("sound") << Obstacle([](Scene &) { return true; }) << true << true;
        // Windows: Qt's links are shortcut files, which stand where a folder should; no mode bits,
        // and a read-only folder keeps no file out.
        const bool links = !test::kLinksAreFiles, modes = test::kModeBits;
        QTest::newRow("root a link to a sound folder") << Obstacle([](Scene &s) {
            if (test::kLinksAreFiles)
                s.plantedAt.clear();
            return QDir(s.cache).removeRecursively() && QDir().mkpath(s.out + "/normal") && QFile::link(s.out, s.cache);
        }) << links << links;
        QTest::newRow("entry a link") << Obstacle([](Scene &s) {
            const QString link = std::exchange(s.plantedAt, s.out + "/target");
            return QFile::link(s.plantedAt, link);
        }) << false << true;
        QTest::newRow("normal/ a link once written") << Obstacle([](Scene &s) {
            // swapped after a check; the entry is planted through it
            SharedThumbnail::of(s.b)->store(solid({128, 96}, kGreen), kPhoto, {65, 65});
            SharedThumbnail::waitForWrites();
            if (test::kLinksAreFiles)
                s.plantedAt.clear();
            return QFileInfo(s.entryB).isFile() && QFile::rename(s.cache + "/normal", s.cache + "/old")
                && QFile::link(s.out, s.cache + "/normal");
        }) << false << false;
        QTest::newRow("large/ a link") << Obstacle([](Scene &s) { return QFile::link(s.out, s.cache + "/large"); })
                                       << false << false;
        QTest::newRow("normal/ group-writable") << permissions("/normal", QFile::WriteGroup) << !modes << !modes;
        QTest::newRow("root others-writable") << permissions("", QFile::WriteOther) << !modes << !modes;
        QTest::newRow("root read-only") << Obstacle([](Scene &s) {
            if (test::kModeBits)
                s.plantedAt.clear();
            return QFile::setPermissions(s.cache, QFile::ReadOwner | QFile::ExeOwner);
        }) << !modes << !modes;
        QTest::newRow("cache home a file") << Obstacle([](Scene &s) {
            s.plantedAt.clear();
            return qputenv("XDG_CACHE_HOME", QFile::encodeName(s.folder->text("cache-home")));
        }) << false << false;
        QTest::newRow("its folders files") << Obstacle([](Scene &s) {
            s.plantedAt.clear();
            return QDir(s.cache + "/normal").removeRecursively()
                && QFile(s.cache + "/normal").open(QIODevice::WriteOnly)
                && QFile(s.cache + "/fail").open(QIODevice::WriteOnly);
        }) << false << false;
    }

    void onlyACacheOfTheUsersOwnIsUsed()
    {
        QFETCH(Obstacle, obstacle);
        QFETCH(bool, used);
        QFETCH(bool, bWritten);
        const QString a = folder->picture("a.jpg", kPhoto, kGreen), b = folder->picture("b.jpg", kPhoto, kGreen);
        const QTemporaryDir elsewhere;
        Scene scene{thumbnails(), elsewhere.path(), b, entry(b), entry(a), folder.get()};
        const QByteArray planted = png(solid(), keysOf(a));
        QVERIFY(QDir().mkpath(scene.cache + "/normal") && obstacle(scene));
        if (!(QFile::permissions(scene.cache) & QFile::WriteOwner) && QFileInfo(scene.cache).isWritable() && !used)
            QSKIP("running as a user who may write anywhere");
        if (!scene.plantedAt.isEmpty())
            test::write(scene.plantedAt, planted);

        Form10 *list = test::openThumbnailList();
        SharedThumbnail::waitForWrites();
        QVERIFY(shows(list, 0, used ? kBlue : kGreen) && shows(list, 1, kGreen));
        QCOMPARE(test::takeMessages(), QStringList());
        QCOMPARE(scene.plantedAt.isEmpty() ? planted : test::contentOf(scene.plantedAt), planted);
        QCOMPARE(QFileInfo(entry(b)).isFile(), bWritten);
        QVERIFY(!QFileInfo(entry(a)).isSymLink());  // a link entry is replaced, not written through
    }

    void failureMarkKeepsAFileFromBeingTriedAgainUntilItChanges()
    {
        const QString file = folder->picture("bad.jpg", kPhoto, kGreen);
        const QByteArray good = test::contentOf(file), padded = good + QByteArray(100, '\0');  // decodes as well
        const qint64 second = QFileInfo(file).lastModified().toSecsSinceEpoch() * 1000;
        const auto listOf = [&](const QByteArray &bytes) {  // written within the same second
            test::unloadAllWindows();
            test::write(file, bytes, second);
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

    // Over entries for every cell, the list reads back the pictures near its
    // view only, makes the others once scrolled to, and makes a stale one's at once.
    void remembersFarCellsAndMakesThemWhenNear()
    {
        constexpr int kFiles = 240;             // forty rows, five or six in view
        Form10::pictureBudget = 60 * 196 * 65;  // sixty pictures of 65 x 65
        const auto budget = qScopeGuard([] { Form10::pictureBudget = qint64(16) * 1024 * 1024; });
        QDir().mkpath(thumbnails() + "/normal");
        QString stale;
        for (int k = 0; k < kFiles; ++k) {
            const QString file = folder->picture(QString("p%1.bmp").arg(k, 3, 10, QChar('0')), QSize(8, 8), kGreen);
            Keys keys = keysOf(file);
            if (k == 200) {  // its time wrong: made again
                stale = file;
                keys[1].second += "0";
            }
            test::write(entry(file), png(solid(QSize(128, 96), test::colourOf(k)), keys));
        }
        QVERIFY(test::startIn(folder->path()));
        const int before = ThumbnailQueue::decodeCount();
        Form10 *list = test::openThumbnailList();
        QVERIFY(list);
        const int made = ThumbnailQueue::decodeCount() - before;
        QVERIFY2(made < kFiles / 2, qPrintable(QString::number(made)));
        SharedThumbnail::waitForWrites();
        QCOMPARE(QImage(entry(stale), "png").text("Thumb::MTime"), keysOf(stale)[1].second);

        QScrollBar *bar = rt::Form::ifLoaded<MDIForm1>()->workspace->verticalScrollBar();
        bar->setValue(bar->maximum());
        QTRY_VERIFY(shows(list, kFiles - 1, test::colourOf(kFiles - 1)));
        QVERIFY(shows(list, kFiles - 13, test::colourOf(kFiles - 13)));
    }

    // Before its first write to a cache, the writer removes our temporary
    // files that a killed writer left a day ago or more in our folders, and
    // nothing else; a cache home it makes is the user's alone.
    void leftTemporariesOfOursAloneGo_data()
    {
        QTest::addColumn<QString>("left");  // under the cache home; "link:" plants a link to an old file
        QTest::addColumn<int>("hours");     // since it was last written
        QTest::addColumn<bool>("removed");
        const QString ours = "/" + QString(32, 'e') + ".png.pixmoor-77-3";
        QTest::newRow("ours, in normal/") << "thumbnails/normal" + ours << 25 << true;
        QTest::newRow("ours, in large/") << "thumbnails/large" + ours << 200 << true;
        QTest::newRow("ours, in our failure marks") << "thumbnails/fail/pixmoor-" PIXMOOR_VERSION + ours << 25 << true;
        QTest::newRow("ours, being written") << "thumbnails/normal" + ours << 23 << false;
        QTest::newRow("named otherwise") << "thumbnails/normal" + ours.chopped(2) << 25 << false;
        QTest::newRow("another's folder") << "thumbnails/fail/gnome-thumbnail-factory" + ours << 25 << false;
        QTest::newRow("a link") << "link:thumbnails/normal" + ours << 25 << false;
        QTest::newRow("cache home made") << "" << 0 << false;
    }

    void leftTemporariesOfOursAloneGo()
    {
        QFETCH(QString, left);
        QFETCH(int, hours);
        QFETCH(bool, removed);
        const QString home = cacheHome->path() + (left.isEmpty() ? "/made/cache" : "");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home));
        const bool link = left.startsWith("link:");
        const QString at = home + "/" + left.mid(link ? 5 : 0), old = link ? folder->file("old") : at;
        if (!left.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(at).path()));
            test::write(old, "half a thumbnail", QDateTime::currentMSecsSinceEpoch() - hours * qint64(3600000));
            QVERIFY(!link || QFile::link(old, at));
        }
        SharedThumbnail::of(folder->picture("b.jpg", kPhoto))->store(solid(), kPhoto, {65, 65});
        SharedThumbnail::waitForWrites();
        QCOMPARE(QFileInfo::exists(at) || QFileInfo(at).isSymLink(), !removed);
        QVERIFY(QFileInfo::exists(old) || removed);
        for (const QString &made : {cacheHome->path() + "/made", home})
            QCOMPARE(QFileInfo(made).permissions() & kGroupOrOther, QFile::Permissions());
    }

    // A disk that does not keep up costs thumbnails, never memory or a decoder's time.
    void aWriterBehindDropsWhatItCannotHold()
    {
        std::atomic<bool> stalled{true};
        cachewriter::setPause([&] {
            while (stalled)
                QThread::msleep(1);
        });
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
        std::atomic<int> madeAfterEnd{0};
        static std::atomic<int> begun;  // outlive the case: the program's end keeps its tasks, the writer its pause
        begun = 0;
        static std::atomic<bool> ended{false};
        QStringList atEnd;  // the cache as the process would leave it
        ThumbnailQueue::setMaker([&](const QString &path, QSize shown) {
            const bool late = ended;
            if (++begun == 20)  // mid-work, as a user would choose 終了
                QMetaObject::invokeMethod(
                    qApp,
                    [&] {
                        form1().mnuExit->trigger();
                        atEnd = filesUnder(thumbnails());
                    },
                    Qt::QueuedConnection);
            QThread::msleep(10);
            const Thumbnail made = makeThumbnail(path, shown);
            madeAfterEnd += late && !made.image.isNull();
            return made;
        });
        // Slower than any decode, wherever decoders are slow to start (Wine): none
        // is written before 終了 but what the writer had in hand.
        cachewriter::setPause([] {
            while (begun < 20)
                QThread::msleep(5);
            QThread::msleep(40);
        });
        test::takeEndRequests();
        rt::atEnd([](QDeadlineTimer) { return ended = true; });
        QVERIFY(test::openThumbnailList());
        QCOMPARE(test::takeEndRequests(), 1);
        QTest::qWait(300);
        QCOMPARE(filesUnder(thumbnails()), atEnd);     // no write after the end
        QVERIFY(atEnd.filter(".pixmoor-").isEmpty());  // nor half of one
        // Dropped, not drained: most of the thumbnails made before the end are not written.
        QVERIFY2(atEnd.size() < 10, qPrintable(QString::number(atEnd.size())));
        QCOMPARE(madeAfterEnd.load(), 0);  // no decode either
    }
};

QTEST_MAIN(SharedThumbnailsTest)
#include "tst_shared_thumbnails.moc"
