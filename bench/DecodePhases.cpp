// One picture decoded from its file as every decode of the program is: what
// its description claims from the decode budget against the most it holds,
// and its time. The tests read the first two to check the claims.
#include "Phases.h"

#include "Measure.h"
#include "PhaseSteps.h"

#include "BmpIcoWriter.h"
#include "GifWriter.h"
#include "runtime/pictures/PictureDescription.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>
#include <QFile>

namespace bench {

namespace {

// Loads the libraries of the four decoders, so that the peak is the decode's alone.
void loadDecoders(QSize fill)
{
    QImage tiny(8, 8, QImage::Format_RGB32);
    tiny.fill(Qt::gray);
    QByteArray jpeg;
    QBuffer out(&jpeg);
    out.open(QIODevice::WriteOnly);
    tiny.save(&out, "jpeg");
    for (const QByteArray &bytes : {jpeg, testart::encodeGif(tiny), testart::encodeIco16({tiny}), testart::encodeBmp24(tiny)}) {
        QBuffer in;
        in.setData(bytes);
        in.open(QIODevice::ReadOnly);
        (void)rt::decodePictureData(in, fill);
    }
}

}  // namespace

// --file decoded for a square of --fill pixels (full size without): claim_mb
// and peak_mb, measured in this process, which holds nothing else a decode
// could reuse; then ms, --repeat times.
int decodePhase(const PhaseOptions &o)
{
    rt::configureImageLimits();
    const QString path = pathIn(o);
    const QSize fill = o.fill > 0 ? QSize(o.fill, o.fill) : QSize();
    loadDecoders(fill);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !resetPeak()) {
        note(QStringLiteral("cannot read ") + path + QStringLiteral(" or its peak"));
        return 1;
    }
    const double before = residentMb();
    const bool loaded = !rt::decodePictureData(file, fill).image.isNull();
    report(QStringLiteral("peak_mb"), loaded ? peakMb() - before : -1);
    report(QStringLiteral("claim_mb"), double(rt::decodeBytes(rt::describePicture(path), fill)) / (1 << 20));
    for (int i = 0; i < o.repeat && loaded; ++i) {
        file.seek(0);
        const qint64 start = monotonicNs();
        (void)rt::decodePictureData(file, fill);
        report(QStringLiteral("ms"), elapsedMs(start));
    }
    return loaded ? 0 : 1;
}

}  // namespace bench
