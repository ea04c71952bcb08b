// Writes the program icon as square PNG files for the desktop's icon theme:
//
//   make-icons ICON.ico FOLDER SIZE...    writes FOLDER/icon-SIZE.png per size
//
// The icon is pixel art: whole multiples of its size are scaled by repeating
// pixels, which keeps its edges crisp; other sizes are scaled smoothly.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);  // finds the ICO image plugin; no display needed
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: make-icons ICON.ico FOLDER SIZE...\n");
        return 2;
    }

    // The largest image of the icon file.
    QImageReader reader(args[1]);
    QImage source;
    for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (image.width() > source.width())
            source = image;
    }
    if (source.isNull() || source.width() != source.height()) {
        std::fprintf(stderr, "make-icons: cannot read a square icon from %s: %s\n", qPrintable(args[1]),
                     qPrintable(reader.errorString()));
        return 1;
    }
    source = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    const QDir out(args[2]);
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "make-icons: cannot make %s\n", qPrintable(args[2]));
        return 1;
    }
    for (qsizetype i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int size = args[i].toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "make-icons: not a size: %s\n", qPrintable(args[i]));
            return 2;
        }
        const Qt::TransformationMode mode =
            size % source.width() == 0 ? Qt::FastTransformation : Qt::SmoothTransformation;
        const QImage icon =
            source.scaled(size, size, Qt::IgnoreAspectRatio, mode).convertToFormat(QImage::Format_ARGB32);
        const QString path = out.filePath(QStringLiteral("icon-%1.png").arg(size));
        if (!icon.save(path, "PNG")) {
            std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
