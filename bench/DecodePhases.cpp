// One picture decoded from its file as every decode of the program is: what
// its description claims from the decode budget against the most it holds,
// and its time. The tests read the first two to check the claims. Also what
// a decoder process costs to start and to keep idle, and what describing a
// folder's pictures from their headers costs.
#include "Phases.h"

#include "Measure.h"
#include "PhaseSteps.h"
#include "ProcessTree.h"

#include "BmpIcoWriter.h"
#include "GifWriter.h"
#include "runtime/pictures/PictureDescription.h"
#include "runtime/pictures/PictureFormats.h"
#include "runtime/pictures/PictureLoader.h"
#include "runtime/decoding/WorkerPool.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QThread>

namespace bench {

namespace {

QByteArray tinyJpeg()
{
    QImage tiny(8, 8, QImage::Format_RGB32);
    tiny.fill(Qt::gray);
    QByteArray jpeg;
    QBuffer out(&jpeg);
    out.open(QIODevice::WriteOnly);
    tiny.save(&out, "jpeg");
    return jpeg;
}

// Waits until every decoder has started and gone quiet (its CPU time still
// for 300 ms), at most 10 s.
void waitDecodersIdle(int count)
{
    double last = -1;
    for (int quiet = 0, waited = 0; quiet < 6 && waited < 200; ++waited) {
        QThread::msleep(50);
        const double now = treeCpuMs();
        quiet = descendants().size() >= count && now - last < 1 ? quiet + 1 : 0;
        last = now;
    }
}

// Loads the libraries of the four decoders, so that the peak is the decode's alone.
void loadDecoders(QSize fill)
{
    const QImage tiny(8, 8, QImage::Format_RGB32);
    for (const QByteArray &bytes :
         {tinyJpeg(), testart::encodeGif(tiny), testart::encodeIco16({tiny}), testart::encodeBmp24(tiny)}) {
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

// What decoding in a process of its own costs a picture: the fork server
// started until its first tiny picture is answered (start_ms), then --repeat
// tiny pictures one after another, each in a decoder of its own forked while
// the one before decoded: wall (decode_ms, median) and the processor time of
// the whole tree (decode_cpu_ms, mean); then the tree left idle: what the
// server and its waiting decoder hold (idle_pss_mb, idle_rss_mb, summed).
int decoderStartPhase(const PhaseOptions &o)
{
    rt::configureImageLimits();
    const QByteArray jpeg = tinyJpeg();
    qint64 start = monotonicNs();
    if (rt::decoding::decodeInWorker(jpeg, QSize()).image.isNull()) {
        note(QStringLiteral("no decoder answered"));
        return 1;
    }
    report(QStringLiteral("start_ms"), elapsedMs(start));
    QList<double> walls;
    const double cpuBefore = treeCpuMs();
    const int count = qMax(o.repeat, 1) * 20;
    for (int i = 0; i < count; ++i) {
        start = monotonicNs();
        if (rt::decoding::decodeInWorker(jpeg, QSize()).image.isNull()) {
            note(QStringLiteral("a decoder did not answer"));
            return 1;
        }
        walls.append(elapsedMs(start));
    }
    // The decoders are reaped by their server as the next is forked: the last one's time is counted once it is.
    (void)rt::decoding::decodeInWorker(jpeg, QSize());
    waitDecodersIdle(2);
    report(QStringLiteral("decode_ms"), median(walls));
    report(QStringLiteral("decode_cpu_ms"), (treeCpuMs() - cpuBefore) / (count + 1));
    double pss = 0, rss = 0;
    const QList<pid_t> idle = descendants();
    for (const pid_t pid : idle) {
        const ProcessMemory memory = memoryOf(pid);
        pss += qMax(memory.pssMb, 0.0);
        rss += qMax(memory.rssMb, 0.0);
    }
    report(QStringLiteral("decoders"), double(idle.size()));
    report(QStringLiteral("idle_pss_mb"), pss);
    report(QStringLiteral("idle_rss_mb"), rss);
    report(QStringLiteral("program_pss_mb"), memoryOf(::getpid()).pssMb);
    return 0;
}

// Every picture of --corpus described from its header, as the program does
// before each decode and for each shared thumbnail without a size: ms for the
// whole folder, --repeat times in this process (the first also loads what the
// readers need), and files, the number described.
int describePhase(const PhaseOptions &o)
{
    const QDir folder(o.corpus);
    const QStringList pictures = folder.entryList(rt::filePatterns(), QDir::Files, QDir::Name);
    report(QStringLiteral("files"), pictures.size());
    qint64 described = 0;
    for (int i = 0; i < o.repeat; ++i) {
        const qint64 start = monotonicNs();
        for (const QString &name : pictures)
            described += rt::describePicture(folder.filePath(name)).shown.isValid() ? 1 : 0;
        report(QStringLiteral("ms"), elapsedMs(start));
    }
    return described == qint64(o.repeat) * pictures.size() ? 0 : 1;
}

}  // namespace bench
