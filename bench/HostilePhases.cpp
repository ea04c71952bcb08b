// A folder of hostile picture files: headers that lie, pictures too large for
// any budget, truncated and foreign data. Each file must be shown or refused
// with a reason, in a cell and at full size, and the program must stay small
// while its decoder processes take the blows.
#include "Phases.h"

#include "Measure.h"
#include "PhaseSteps.h"
#include "ProcessTree.h"

#include "BmpIcoWriter.h"
#include "GifWriter.h"
#include "runtime/decoding/Decode.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QtEndian>

#include <cstring>
#include <functional>

namespace bench {

namespace {

// Stripes and a ramp: decoders have real work, encoders compress it well.
QImage indexed(QSize size, bool transparent)
{
    QImage image(size, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (int i = 0; i < 16; ++i)
        colours.append(qRgb(i * 16, 255 - i * 16, (i * 40) & 0xFF));
    if (transparent)
        colours[0] = qRgba(0, 0, 0, 0);
    image.setColorTable(colours);
    for (int y = 0; y < size.height(); ++y)
        std::memset(image.scanLine(y), (y / 64) % 16, size_t(size.width()));
    return image;
}

QByteArray encoded(const QImage &image, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image) ? bytes : QByteArray();
}

QByteArray photo(QSize size, bool progressive = false)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(x * 255 / size.width(), y * 255 / size.height(), (x ^ y) & 0xFF);
    }
    return encoded(image, "jpeg", progressive);
}

// The JPEG's frame header (SOF0 or SOF2) made to claim `size`.
QByteArray withJpegSize(QByteArray jpeg, QSize size)
{
    for (qsizetype at = 2; at + 9 < jpeg.size(); at += 2 + qFromBigEndian<quint16>(jpeg.constData() + at + 2)) {
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker == 0xC0 || marker == 0xC2) {
            qToBigEndian<quint16>(quint16(size.height()), jpeg.data() + at + 5);
            qToBigEndian<quint16>(quint16(size.width()), jpeg.data() + at + 7);
            break;
        }
    }
    return jpeg;
}

QByteArray gifWithScreen(QByteArray gif, QSize screen)
{
    qToLittleEndian<quint16>(quint16(screen.width()), gif.data() + 6);
    qToLittleEndian<quint16>(quint16(screen.height()), gif.data() + 8);
    return gif;
}

// An icon whose one entry is a PNG far larger than an icon's 256 pixels.
QByteArray iconHidingPng(QSize size)
{
    QImage mono(size, QImage::Format_Mono);
    mono.fill(1);
    const QByteArray png = encoded(mono, "png");
    QByteArray ico(22, '\0');
    qToLittleEndian<quint16>(1, ico.data() + 2);    // an icon
    qToLittleEndian<quint16>(1, ico.data() + 4);    // one entry, 0 x 0: 256 or more
    qToLittleEndian<quint16>(1, ico.data() + 10);   // planes
    qToLittleEndian<quint16>(32, ico.data() + 12);  // bits
    qToLittleEndian<quint32>(quint32(png.size()), ico.data() + 14);
    qToLittleEndian<quint32>(22, ico.data() + 18);
    return ico + png;
}

QByteArray bmpWithHeight(QByteArray bmp, qint32 height)
{
    qToLittleEndian<qint32>(height, bmp.data() + 22);
    return bmp;
}

QByteArray threeIcons()
{
    return testart::encodeIco16({indexed({256, 256}, false), indexed({48, 48}, true), indexed({16, 16}, false)});
}

QByteArray noise(int bytes)
{
    QByteArray data(bytes, '\0');
    QRandomGenerator random(7);
    for (char &c : data)
        c = char(random.bounded(256));
    return data;
}

const QList<std::pair<const char *, std::function<QByteArray()>>> &kinds()
{
    static const QList<std::pair<const char *, std::function<QByteArray()>>> all = {
        {"giant_12000x10000.gif", [] { return testart::encodeGif(indexed(QSize(12000, 10000), false)); }},
        {"zero_screen_9000.gif",
         [] { return gifWithScreen(testart::encodeGif(indexed(QSize(9000, 9000), false)), QSize(0, 0)); }},
        {"transparent_9000.gif", [] { return testart::encodeGif(indexed(QSize(9000, 9000), true)); }},
        {"progressive_6000x4000.jpg", [] { return photo(QSize(6000, 4000), true); }},
        {"claims_65000.jpg", [] { return withJpegSize(photo(QSize(640, 480)), QSize(65000, 65000)); }},
        {"truncated.jpg", [] { return photo(QSize(2000, 1500)).left(200000); }},
        {"claims_30000.bmp",
         [] { return bmpWithHeight(testart::encodeBmp24(indexed(QSize(30000, 1), false)), 30000); }},
        {"top_down.bmp", [] { return bmpWithHeight(testart::encodeBmp24(indexed(QSize(1024, 768), false)), -768); }},
        {"several.ico", threeIcons},
        {"png_20000.ico", [] { return iconHidingPng(QSize(20000, 20000)); }},
        {"gif_named.jpg", [] { return testart::encodeGif(indexed(QSize(320, 240), false)); }},
        {"noise.gif", [] { return noise(100000); }},
        {"text.bmp", [] { return QByteArray("not a picture\n"); }},
        {"empty.jpg", [] { return QByteArray(); }},
    };
    return all;
}

bool makeFolder(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QDir dir(folder);
    for (const auto &[name, make] : kinds()) {
        if (dir.exists(QLatin1String(name)))
            continue;
        QSaveFile file(dir.filePath(QLatin1String(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(make()) < 0 || !file.commit())
            return false;
    }
    return true;
}

}  // namespace

// --corpus FOLDER made when missing; every file decoded as a cell decodes it
// and at full size, as a slot's large view does: a note for each outcome,
// counts, the program's peaks (cells, full size) and its largest decoder's.
int hostilePhase(const PhaseOptions &o)
{
    if (!makeFolder(o.corpus)) {
        note(QStringLiteral("cannot make ") + o.corpus);
        return 1;
    }
    resetPeak();  // the making above is not the program's
    const TreeWatch tree;
    startProgram(o.corpus);
    int shown = 0, refused = 0, unexplained = 0;
    // Cells first, then full size as the large view decodes, each with its
    // own peak: a picture shown at full size is held whole by the program.
    for (const QSize fill : {QSize(kThumbnail, kThumbnail), QSize()}) {
        const QString how = fill.isValid() ? QStringLiteral("cell") : QStringLiteral("full");
        resetPeak();
        for (const auto &[name, make] : kinds()) {
            const rt::Decoded decoded = rt::decodePicture(QDir(o.corpus).filePath(QLatin1String(name)), fill);
            if (!decoded.image.isNull()) {
                ++shown;
                note(QStringLiteral("%1 %2: shown %3x%4")
                         .arg(QLatin1String(name), how)
                         .arg(decoded.image.width())
                         .arg(decoded.image.height()));
            } else if (decoded.error) {
                ++refused;
                note(QStringLiteral("%1 %2: refused, %3")
                         .arg(QLatin1String(name), how, rt::reasonText(rt::Action::Open, decoded.error)));
            } else {
                ++unexplained;
                note(QStringLiteral("%1 %2: no picture and no reason").arg(QLatin1String(name), how));
            }
        }
        report(how + QStringLiteral("_peak_mb"), peakMb());
    }
    report(QStringLiteral("files"), double(kinds().size()));
    report(QStringLiteral("shown"), shown);
    report(QStringLiteral("refused"), refused);
    report(QStringLiteral("unexplained"), unexplained);
    report(QStringLiteral("decoder_peak_mb"), tree.largestChildMb());
    report(QStringLiteral("tree_peak_mb"), tree.peakRssMb());
    return unexplained ? 1 : 0;
}

}  // namespace bench
