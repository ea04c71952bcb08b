#include "thumbnailing/SharedThumbnails.h"

#include "runtime/services/Platform.h"
#include "runtime/pictures/SmallPng.h"
#include "thumbnailing/CacheWriter.h"
#include "runtime/pictures/PictureDescription.h"
#include "thumbnailing/ThumbnailPng.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include <atomic>
#include <memory>

namespace {

const QString kUriKey = QStringLiteral("Thumb::URI");
const QString kMTimeKey = QStringLiteral("Thumb::MTime");
const QString kSizeKey = QStringLiteral("Thumb::Size");
const QString kWidthKey = QStringLiteral("Thumb::Image::Width");
const QString kHeightKey = QStringLiteral("Thumb::Image::Height");
constexpr qint64 kMaxEntryBytes = qint64(4) << 20;
const QString kOurFailFolder = QStringLiteral("pixmoor-" PIXMOOR_VERSION);

using Place = SharedThumbnail::Place;

// Temporary files this old are no write in progress: their writer was killed.
constexpr qint64 kLeftFor = 24 * 3600;

// Makes the missing folders of `path`, each readable by the user only, as the
// XDG rules ask of the cache home; folders already there are left as they are.
void makePrivatePath(const QString &path)
{
    const QFileInfo folder(path);
    if (folder.exists() || folder.isRoot() || path.isEmpty())
        return;
    makePrivatePath(folder.path());
    QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

Place placeFor(QSize shown) { return SharedThumbnail::boxFor(shown) == 128 ? Place::Normal : Place::Large; }

// The folder of `place` in the cache at `root`, opened for one read or one
// write, when the cache may be used: it (the root itself may be a link, as
// GLib allows) and normal/, large/, fail/ and our folder in fail/ are each a
// real folder of the user's that nobody else may write. Checked afresh each
// time, and held while used, so that nothing is read or written through a
// folder swapped for a link after an earlier check. Not open otherwise: then
// nothing in it is read or written. `make` creates the missing ones (owner
// only); without it a missing one only holds nothing.
rt::platform::Folder openCacheFolder(const QString &root, Place place, bool make)
{
    using rt::platform::Folder;
    if (make)
        makePrivatePath(QFileInfo(root).path());
    Folder top = Folder::open(root, make);
    Folder normal = top.sub(QStringLiteral("normal"), make), large = top.sub(QStringLiteral("large"), make);
    const Folder fail = top.sub(QStringLiteral("fail"), make);
    Folder ours = fail.sub(kOurFailFolder, make);
    for (const Folder::State state : {top.state(), normal.state(), large.state(), fail.state(), ours.state()}) {
        if (state == Folder::State::Refused)
            return {};
    }
    return std::move(place == Place::Normal ? normal : place == Place::Large ? large : ours);
}

std::atomic<int> checkGeneration{0};

// The folder of `place` to read entries from. A list reads hundreds of entries
// a second: the folders checked once are kept until the next list starts, for
// a second at most, and read through still held open, so nothing is read
// through a link put in their place meanwhile. Shared by the threads (a look-up
// in a held folder is thread-safe), not kept per thread: MinGW's thread-local
// objects crash the program at its end.
std::shared_ptr<const rt::platform::Folder> readingFolder(const QString &root, Place place)
{
    static QMutex mutex;
    static QString checkedRoot;
    static int checkedGeneration = -1;
    static QElapsedTimer age;
    static std::shared_ptr<const rt::platform::Folder> checked[3];
    const QMutexLocker lock(&mutex);
    if (checkedRoot != root || checkedGeneration != checkGeneration || age.hasExpired(1000)) {
        for (auto &folder : checked)
            folder.reset();  // closed once the reads still using it are done
        checkedRoot = root;
        checkedGeneration = checkGeneration;
        age.start();
    }
    auto &folder = checked[int(place)];
    if (!folder)
        folder = std::make_shared<const rt::platform::Folder>(openCacheFolder(root, place, false));
    return folder;
}

// Once per cache, before the writer's first write to it, on its thread:
// our temporary files that a writer killed between its steps left for good.
void removeLeftTemporaries(const QString &root)
{
    static QSet<QString> swept;  // the writer's thread alone reaches it
    if (swept.contains(root))
        return;
    swept.insert(root);
    for (const Place place : {Place::Normal, Place::Large, Place::Failed})
        openCacheFolder(root, place, false).removeLeftTemporaries(kLeftFor);
}

bool isNumber(const QString &text, qint64 expected)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    return ok && number == expected;
}

// Whether the text of an entry names the file as it is now; the size is
// required only when `sizeRequired`.
bool describes(const QHash<QString, QString> &text, const QByteArray &uri, qint64 mtime, qint64 size, bool sizeRequired)
{
    return text.value(kUriKey) == QString::fromLatin1(uri) && isNumber(text.value(kMTimeKey), mtime)
        && (!(sizeRequired || text.contains(kSizeKey)) || isNumber(text.value(kSizeKey), size));
}

// The canonical path of `path`; `last` keeps the path last resolved and what
// it resolved to, as a list asks this of thousands of files in one folder.
// Resolved outside the lock, which a slow folder would otherwise hold.
QString canonicalOf(const QString &path, std::pair<QString, QString> &last)
{
    static QMutex mutex;
    {
        const QMutexLocker lock(&mutex);
        if (last.first == path && !last.second.isEmpty())
            return last.second;
    }
    QString canonical = QFileInfo(path).canonicalFilePath();
    const QMutexLocker lock(&mutex);
    last = {path, canonical};
    return canonical;
}

// Whether the file of `info` lies in the cache at `root`, links followed: the
// canonical paths of the cache and of the file's folder are kept, and only a
// file that is itself a link is followed afresh.
bool liesIn(const QString &root, const QFileInfo &info)
{
    static std::pair<QString, QString> lastRoot, lastFolder;
    const QString cache = canonicalOf(root, lastRoot);
    if (cache.isEmpty())
        return false;  // no cache yet: nothing lies in it
    const QString canonical = info.isSymLink()
        ? info.canonicalFilePath()
        : canonicalOf(info.absolutePath(), lastFolder) + QLatin1Char('/') + info.fileName();
    return canonical.startsWith(cache + QLatin1Char('/'));
}

}  // namespace

QByteArray SharedThumbnail::uriOf(const QString &absolutePath)
{
    // GLib keeps these besides letters and digits and escapes everything else,
    // including ";", "[" and "]", which QUrl would keep. The bytes are UTF-8
    // on every system (not the Windows code page, where names outside it would
    // share one entry); a drive letter gets the empty host's slash first.
    static const QByteArray kept("!$&'()*+,-./:=@_~");
    const QByteArray bytes = absolutePath.toUtf8();
    const bool drive = absolutePath.size() > 1 && absolutePath.at(1) == QLatin1Char(':');
    QByteArray uri(drive ? "file:///" : "file://");
    uri.reserve(8 + bytes.size() * 3);
    for (const char c : bytes) {
        const uchar u = uchar(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || kept.contains(c)) {
            uri.append(c);
        } else {
            uri.append('%');
            uri.append("0123456789ABCDEF"[u >> 4]);
            uri.append("0123456789ABCDEF"[u & 15]);
        }
    }
    return uri;
}

QString SharedThumbnail::cacheFolder()
{
    // $XDG_CACHE_HOME on every system, as GLib reads it; Qt reads it only
    // where desktops follow the XDG layout, not on Windows.
    const QString home = qEnvironmentVariable("XDG_CACHE_HOME");
    return (QDir::isAbsolutePath(home) ? home : QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        + QStringLiteral("/thumbnails");
}

int SharedThumbnail::boxFor(QSize shown) { return shown.width() <= 128 && shown.height() <= 128 ? 128 : 256; }

std::optional<SharedThumbnail> SharedThumbnail::of(const QString &path)
{
    const auto stamp = rt::platform::stampOf(path);
    if (!stamp)
        return std::nullopt;
    const QFileInfo info(path);
    SharedThumbnail entry;
    entry.root_ = cacheFolder();
    if (liesIn(entry.root_, info))
        return std::nullopt;
    entry.path_ = path;
    entry.uri_ = uriOf(QDir::cleanPath(info.absoluteFilePath()));
    entry.name_ = QString::fromLatin1(QCryptographicHash::hash(entry.uri_, QCryptographicHash::Md5).toHex())
        + QStringLiteral(".png");
    entry.mtime_ = stamp->modifiedMs / 1000;
    entry.size_ = stamp->size;
    return entry;
}

SharedThumbnail::Found SharedThumbnail::find(QSize shown) const
{
    Found found;
    const auto bytes = rt::readSmallFile(*readingFolder(root_, placeFor(shown)), name_, kMaxEntryBytes);
    if (!bytes)
        return found;
    found.kept = thumbnailpng::desktopAccepts(*bytes, uri_, mtime_, size_);
    // Other programs' entries may use any kind of text chunk, and need only the
    // URI and the time; the picture's size then comes from its header.
    const auto png = rt::decodeSmallPng(*bytes, boxFor(shown));
    if (!png || !describes(png->text, uri_, mtime_, size_, false))
        return found;
    bool wide = false, high = false;
    found.fileSize = QSize(png->text.value(kWidthKey).toInt(&wide), png->text.value(kHeightKey).toInt(&high));
    if (!wide || !high || found.fileSize.isEmpty())
        found.fileSize = rt::describePicture(path_).shown;
    if (!found.fileSize.isEmpty())
        found.image = png->image;
    return found;
}

bool SharedThumbnail::remembers(QSize shown) const
{
    const auto bytes = rt::readSmallFile(*readingFolder(root_, placeFor(shown)), name_, kMaxEntryBytes);
    if (!bytes || !thumbnailpng::desktopAccepts(*bytes, uri_, mtime_, size_))
        return false;
    const auto size = rt::smallPngSize(*bytes, boxFor(shown));
    return size && size->width() >= shown.width() && size->height() >= shown.height();
}

bool SharedThumbnail::failedBefore() const
{
    const auto bytes = rt::readSmallFile(*readingFolder(root_, Place::Failed), name_, kMaxEntryBytes);
    const auto png = bytes ? rt::decodeSmallPng(*bytes, 16) : std::nullopt;
    // A file repaired to another size within the same second is tried again.
    return png && describes(png->text, uri_, mtime_, size_, true);
}

void SharedThumbnail::store(const QImage &thumbnail, QSize fileSize, QSize shown) const
{
    write(placeFor(shown), thumbnail,
          {{"Thumb::Image::Width", QByteArray::number(fileSize.width())},
           {"Thumb::Image::Height", QByteArray::number(fileSize.height())}});
}

void SharedThumbnail::markFailed() const
{
    QImage mark(1, 1, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    write(Place::Failed, mark, {});
}

// Checked again on the writer's thread, just before replacing: a thumbnail the
// desktop accepts may have been written meanwhile. Failure marks are ours alone.
void SharedThumbnail::write(Place place, const QImage &image, QList<std::pair<QByteArray, QByteArray>> text) const
{
    text = thumbnailpng::Text{{"Thumb::URI", uri_},
                              {"Thumb::MTime", QByteArray::number(mtime_)},
                              {"Thumb::Size", QByteArray::number(size_)}}
        + text + thumbnailpng::Text{{"Software", "Pixmoor " PIXMOOR_VERSION}};
    cachewriter::queue([root = root_, place, name = name_, image, text, uri = uri_, mtime = mtime_, size = size_] {
        const rt::platform::Folder folder = openCacheFolder(root, place, true);
        if (!folder.isOpen())
            return;
        removeLeftTemporaries(root);
        if (place != Place::Failed) {
            const auto old = rt::readSmallFile(folder, name, kMaxEntryBytes);
            if (old && thumbnailpng::desktopAccepts(*old, uri, mtime, size))
                return;
        }
        const QByteArray png = thumbnailpng::encode(image, text);
        if (!png.isEmpty())
            folder.replaceFile(name, png, cachewriter::proceed);
    });
}

void SharedThumbnail::waitForWrites() { cachewriter::waitForWrites(); }

void SharedThumbnail::checkFoldersAgain() { ++checkGeneration; }
