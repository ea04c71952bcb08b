#include "thumbnailing/SharedThumbnails.h"

#include "runtime/SmallPng.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>

namespace {

constexpr auto kOwnerOnlyFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr auto kOwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
const QString kUriKey = QStringLiteral("Thumb::URI");
const QString kMTimeKey = QStringLiteral("Thumb::MTime");
const QString kSizeKey = QStringLiteral("Thumb::Size");
const QString kWidthKey = QStringLiteral("Thumb::Image::Width");
const QString kHeightKey = QStringLiteral("Thumb::Image::Height");

// One thread writes, so that writing never takes a core from decoding for
// long. The program waits for what is queued when it ends.
QThreadPool &writer()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        qAddPostRoutine([] { SharedThumbnail::waitForWrites(); });
        return p;
    }();
    return *pool;
}

// Makes `folder` and the folders above it up to `root`'s parent, each new one
// readable by the owner only.
bool makeFolder(const QString &root, const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    if (!QDir().mkpath(QFileInfo(root).path()))
        return false;
    QString path = root;
    const QStringList parts = QDir(root).relativeFilePath(folder).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = -1; i < parts.size(); ++i) {
        if (i >= 0)
            path += QLatin1Char('/') + parts[i];
        if (!QFileInfo(path).isDir() && !QDir().mkdir(path, kOwnerOnlyFolder))
            return false;
    }
    return true;
}

// Writes `image` with `text` as `folder`/`name`: first to a temporary file in
// the same folder, then renamed into place, so no reader ever sees half of it.
void writePng(const QString &root, const QString &folder, const QString &name, const QImage &image,
              const QList<std::pair<QString, QString>> &text)
{
    if (!makeFolder(root, folder))
        return;
    QSaveFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(kOwnerOnlyFile))
        return;
    QImage keyed = image;  // the PNG writer stores an image's text as text chunks
    for (const auto &[key, value] : text)
        keyed.setText(key, value);
    QImageWriter png(&file, "png");
    if (png.write(keyed))
        file.commit();  // otherwise the temporary file goes with `file`
}

qint64 integer(const QString &text, bool &ok)
{
    return text.toLongLong(&ok);
}

} // namespace

QByteArray SharedThumbnail::uriOf(const QString &absolutePath)
{
    // GLib keeps these besides letters and digits and escapes everything else,
    // including ";", "[" and "]", which QUrl would keep.
    static const QByteArray kept("!$&'()*+,-./:=@_~");
    const QByteArray bytes = QFile::encodeName(absolutePath);
    QByteArray uri("file://");
    uri.reserve(7 + bytes.size() * 3);
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
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/thumbnails");
}

int SharedThumbnail::boxFor(QSize shown)
{
    return shown.width() <= 128 && shown.height() <= 128 ? 128 : 256;
}

std::optional<SharedThumbnail> SharedThumbnail::of(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    SharedThumbnail entry;
    entry.root_ = cacheFolder();
    const QString cache = QFileInfo(entry.root_).canonicalFilePath();
    if (!cache.isEmpty() && info.canonicalFilePath().startsWith(cache + QLatin1Char('/')))
        return std::nullopt;
    entry.uri_ = uriOf(QDir::cleanPath(info.absoluteFilePath()));
    entry.name_ = QString::fromLatin1(QCryptographicHash::hash(entry.uri_, QCryptographicHash::Md5).toHex())
                + QStringLiteral(".png");
    entry.mtime_ = info.lastModified().toSecsSinceEpoch();
    entry.size_ = info.size();
    return entry;
}

QString SharedThumbnail::folderFor(QSize shown) const
{
    return root_ + (boxFor(shown) == 128 ? QStringLiteral("/normal") : QStringLiteral("/large"));
}

QString SharedThumbnail::failFolder() const
{
    return root_ + QStringLiteral("/fail/pixmoor-" PIXMOOR_VERSION);
}

std::optional<SharedThumbnail::Found> SharedThumbnail::find(QSize shown) const
{
    const auto png = rt::readSmallPng(folderFor(shown) + QLatin1Char('/') + name_, boxFor(shown));
    if (!png || png->text.value(kUriKey) != QString::fromLatin1(uri_))
        return std::nullopt;
    bool ok = false;
    if (integer(png->text.value(kMTimeKey), ok) != mtime_ || !ok)
        return std::nullopt;
    if (png->text.contains(kSizeKey) && (integer(png->text.value(kSizeKey), ok) != size_ || !ok))
        return std::nullopt;
    bool wide = false, high = false;
    const QSize fileSize(png->text.value(kWidthKey).toInt(&wide), png->text.value(kHeightKey).toInt(&high));
    if (!wide || !high || fileSize.isEmpty())
        return std::nullopt;  // the cell needs the picture's own size too
    return Found{png->image, fileSize};
}

bool SharedThumbnail::failedBefore() const
{
    const auto png = rt::readSmallPng(failFolder() + QLatin1Char('/') + name_, 16);
    bool ok = false;
    return png && png->text.value(kUriKey) == QString::fromLatin1(uri_)
        && integer(png->text.value(kMTimeKey), ok) == mtime_ && ok;
}

void SharedThumbnail::store(const QImage &thumbnail, QSize fileSize, QSize shown) const
{
    const QList<std::pair<QString, QString>> text = {
        {kUriKey, QString::fromLatin1(uri_)},
        {kMTimeKey, QString::number(mtime_)},
        {kSizeKey, QString::number(size_)},
        {kWidthKey, QString::number(fileSize.width())},
        {kHeightKey, QString::number(fileSize.height())},
        {QStringLiteral("Software"), QStringLiteral("Pixmoor " PIXMOOR_VERSION)},
    };
    writer().start([root = root_, folder = folderFor(shown), name = name_, thumbnail, text] {
        writePng(root, folder, name, thumbnail, text);
    });
}

void SharedThumbnail::markFailed() const
{
    const QList<std::pair<QString, QString>> text = {
        {kUriKey, QString::fromLatin1(uri_)},
        {kMTimeKey, QString::number(mtime_)},
        {QStringLiteral("Software"), QStringLiteral("Pixmoor " PIXMOOR_VERSION)},
    };
    writer().start([root = root_, folder = failFolder(), name = name_, text] {
        QImage mark(1, 1, QImage::Format_ARGB32);
        mark.fill(Qt::transparent);
        writePng(root, folder, name, mark, text);
    });
}

void SharedThumbnail::waitForWrites()
{
    writer().waitForDone();
}
