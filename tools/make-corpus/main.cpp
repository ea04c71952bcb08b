// Makes the benchmark's picture folder, the same on every machine (fixed
// seeds); files already there are kept, so an interrupted run resumes.
//
//   make-corpus [--camera | --progressive] [--photos N] [--distinct K] FOLDER
//
// By default: N (200) photo-like JPEGs of 4000 x 3000 at quality 90 with 4:2:0
// chroma (photo_001.jpg ...), 50 BMPs of 1024 x 768 (24-bit), 20 GIFs of
// 800 x 600 (256 colours) and 20 icons (10 of 48 x 48, 10 holding 256, 48, 32
// and 16 pixel images, 16 colours). With --camera: only the photos, each
// carrying EXIF data as cameras write it (Make, Model, Orientation; every
// tenth photo is a portrait, orientation 6) with a 160 x 120 JPEG thumbnail.
// With --progressive: only the photos, the same pictures written as
// progressive JPEGs (a scan of coarse values first, as web photos are).
// With --distinct K only the first K photos are made; each later one is a hard
// link to one of them under its own name: a large folder that costs as much to
// list and decode, at a fraction of the time and disk. Work is spread over
// every core.

#include "BmpIcoWriter.h"
#include "ExifWriter.h"
#include "GifWriter.h"
#include "PhotoContent.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QCoreApplication>
#include <QImageWriter>
#include <QSaveFile>
#include <QtConcurrent>

#include <atomic>
#include <filesystem>
#include <cstdio>
#include <functional>

namespace {

struct Job
{
    QString name;
    std::function<QByteArray()> make;
    bool operator==(const Job &other) const { return name == other.name; }
};

QByteArray jpeg(const QImage &image, int quality, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);  // Qt's writer samples chroma 4:2:0
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image) ? bytes : QByteArray();
}

enum class Kind { Plain, Camera, Progressive };

QByteArray photo(int i, Kind kind)
{
    const bool camera = kind == Kind::Camera;
    const QImage image = corpus::photoLike(QSize(4000, 3000), quint32(i) * 3, QSize(40, 30), 0.12);
    const QByteArray main = jpeg(image, 90, kind == Kind::Progressive);
    if (!camera)
        return main;
    testart::CameraExif exif;
    exif.orientation = i % 10 == 0 ? 6 : 1;
    exif.model = QByteArray("Corpus ") + (i % 2 ? "A" : "B");
    exif.thumbnail = jpeg(image.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), 75);
    return testart::withCameraExif(main, exif);
}

QList<Job> jobs(int photos, Kind kind)
{
    QList<Job> all;
    const int digits = qMax(3, int(QString::number(photos).size()));
    for (int i = 1; i <= photos; ++i)
        all.append({QStringLiteral("photo_%1.jpg").arg(i, digits, 10, QLatin1Char('0')),
                    [i, kind] { return photo(i, kind); }});
    if (kind != Kind::Plain)
        return all;
    for (int i = 1; i <= 50; ++i)
        all.append({QStringLiteral("scan_%1.bmp").arg(i, 3, 10, QLatin1Char('0')), [i] {
                        return testart::encodeBmp24(corpus::photoLike(QSize(1024, 768), 1000 + i, QSize(32, 24), 0.3));
                    }});
    for (int i = 1; i <= 20; ++i)
        all.append({QStringLiteral("anim_%1.gif").arg(i, 3, 10, QLatin1Char('0')), [i] {
                        return testart::encodeGif(corpus::photoLike(QSize(800, 600), 3000 + i, QSize(20, 15), 0.15));
                    }});
    for (int i = 1; i <= 20; ++i)
        all.append({QStringLiteral("icon_%1.ico").arg(i, 3, 10, QLatin1Char('0')), [i] {
                        if (i <= 10)
                            return testart::encodeIco16({corpus::gradient(48, i * 30)});
                        QList<QImage> sizes;
                        for (const int side : {256, 48, 32, 16})
                            sizes.append(corpus::gradient(side, i * 30));
                        return testart::encodeIco16(sizes);
                    }});
    return all;
}

bool save(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

int usage()
{
    std::fprintf(stderr, "usage: make-corpus [--camera | --progressive] [--photos N] [--distinct K] FOLDER\n");
    return 2;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);  // pictures only: no display needed
    QStringList args = app.arguments().mid(1);
    const bool camera = args.removeAll(QStringLiteral("--camera")) > 0;
    const bool progressive = args.removeAll(QStringLiteral("--progressive")) > 0;
    if (camera && progressive)
        return usage();
    const Kind kind = camera ? Kind::Camera : progressive ? Kind::Progressive : Kind::Plain;
    int photos = 200;
    if (const qsizetype at = args.indexOf(QStringLiteral("--photos")); at >= 0) {
        bool ok = false;
        photos = args.value(at + 1).toInt(&ok);
        if (!ok || photos < 1)
            return usage();
        args.remove(at, 2);
    }
    int distinct = photos;
    if (const qsizetype at = args.indexOf(QStringLiteral("--distinct")); at >= 0) {
        bool ok = false;
        distinct = qMin(photos, args.value(at + 1).toInt(&ok));
        if (!ok || distinct < 1)
            return usage();
        args.remove(at, 2);
    }
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-')))
        return usage();
    const QDir out(args[0]);
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "make-corpus: cannot make %s\n", qPrintable(args[0]));
        return 1;
    }

    QList<Job> todo;
    for (const Job &job : jobs(photos, kind)) {
        if (QFileInfo(out.filePath(job.name)).size() == 0)
            todo.append(job);
    }
    // Photos past the distinct ones become links once those exist.
    const QList<Job> all = jobs(photos, kind);
    QList<Job> links;
    for (qsizetype k = todo.size() - 1; k >= 0; --k) {
        const qsizetype index = all.indexOf(todo[k]);
        if (index >= distinct && index < photos)
            links.prepend(todo.takeAt(k));
    }
    std::atomic<int> failed{0};
    QtConcurrent::blockingMap(todo, [&](const Job &job) {
        if (!save(out.filePath(job.name), job.make())) {
            std::fprintf(stderr, "make-corpus: cannot write %s\n", qPrintable(out.filePath(job.name)));
            ++failed;
        }
    });
    for (const Job &job : links) {
        const QString source = out.filePath(all[all.indexOf(job) % distinct].name);
        std::error_code error;
        std::filesystem::create_hard_link(QFile::encodeName(source).constData(),
                                          QFile::encodeName(out.filePath(job.name)).constData(), error);
        if (error) {
            std::fprintf(stderr, "make-corpus: cannot link %s\n", qPrintable(out.filePath(job.name)));
            ++failed;
        }
    }
    todo += links;
    std::printf("%s: %lld files made, %lld kept\n", qPrintable(out.path()), qlonglong(todo.size() - failed),
                qlonglong(all.size() - todo.size()));
    return failed ? 1 : 0;
}
