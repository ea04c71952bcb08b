#include "Phases.h"

#include "GifWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QCoreApplication>
#include <QImage>
#include <QRandomGenerator>

#include <cstdio>

namespace bench {

namespace {

// Soft colour blobs with some grain: decodes like a small photo, not like a
// flat test card.
QImage smallPicture(quint32 seed, QSize size)
{
    QRandomGenerator random(seed);
    QImage coarse(8, 6, QImage::Format_RGB32);
    for (int y = 0; y < coarse.height(); ++y)
        for (int x = 0; x < coarse.width(); ++x)
            coarse.setPixel(x, y, random.generate() | 0xff000000u);
    QImage image = coarse.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = int(random.bounded(24)) - 12;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + grain, 255), qBound(0, qGreen(p) + grain, 255),
                           qBound(0, qBlue(p) + grain, 255));
        }
    }
    return image;
}

}  // namespace

int makeSmallFolder(const QString &folder, int count)
{
    int argc = 1;
    char name[] = "pixmoor-bench";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(folder));
        return 1;
    }
    const QDir dir(folder);
    int written = 0;
    for (int i = 1; i <= count; ++i) {
        // Of every 20 files: 14 JPEG (a quarter of them upright), 3 BMP, 2 GIF, 1 ICO.
        const int kind = i % 20;
        const QString stem = QStringLiteral("small_%1").arg(i, 5, 10, QLatin1Char('0'));
        QString path;
        if (kind < 14)
            path = dir.filePath(stem + QStringLiteral(".jpg"));
        else if (kind < 17)
            path = dir.filePath(stem + QStringLiteral(".bmp"));
        else if (kind < 19)
            path = dir.filePath(stem + QStringLiteral(".gif"));
        else
            path = dir.filePath(stem + QStringLiteral(".ico"));
        if (QFileInfo(path).size() > 0)
            continue;
        bool ok = false;
        if (kind < 14)
            ok = smallPicture(i, kind % 4 ? QSize(320, 240) : QSize(240, 320)).save(path, "JPG", 85);
        else if (kind < 17)
            ok = smallPicture(i, QSize(160, 120)).save(path, "BMP");
        else if (kind < 19)
            ok = testart::writeGif(smallPicture(i, QSize(160, 120)), path);
        else
            ok = smallPicture(i, QSize(32, 32)).convertToFormat(QImage::Format_ARGB32).save(path, "ICO");
        if (!ok) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        ++written;
    }
    std::printf("%d pictures written, %d in all in %s\n", written, count, qPrintable(folder));
    return 0;
}

}  // namespace bench
