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
#include "runtime/pictures/PictureLoader.h"
#include "runtime/decoding/WorkerPool.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>

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

// True once the process is gone or a zombie waiting to be reaped.
bool ended(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
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
    for (const QByteArray &bytes : {tinyJpeg(), testart::encodeGif(tiny), testart::encodeIco16({tiny}), testart::encodeBmp24(tiny)}) {
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

// A tiny picture decoded in a decoder process that has to be started first
// (start_ms: until its answer, less a decode by the same process once it is
// idle, decode_ms), --repeat times, each decoder killed before the next;
// then the pool filled and left idle: what each idle decoder holds.
int decoderStartPhase(const PhaseOptions &o)
{
    rt::configureImageLimits();
    const QByteArray jpeg = tinyJpeg();
    for (int i = 0; i < o.repeat; ++i) {
        for (const pid_t pid : descendants()) {
            ::kill(pid, SIGKILL);
            while (!ended(pid))
                QThread::msleep(1);
        }
        qint64 start = monotonicNs();
        const bool started = !rt::decoding::decodeInWorker(jpeg, QSize()).image.isNull();
        const double firstMs = elapsedMs(start);
        start = monotonicNs();
        const bool reused = !rt::decoding::decodeInWorker(jpeg, QSize()).image.isNull();
        const double againMs = elapsedMs(start);
        if (!started || !reused) {
            note(QStringLiteral("no decoder answered"));
            return 1;
        }
        report(QStringLiteral("start_ms"), firstMs - againMs);
        report(QStringLiteral("decode_ms"), againMs);
    }
    const int pool = qBound(1, QThread::idealThreadCount(), 8);
    rt::decoding::startDecoders();
    waitDecodersIdle(pool);
    QList<double> pss, rss;
    for (const pid_t pid : descendants()) {
        const ProcessMemory idle = memoryOf(pid);
        pss.append(idle.pssMb);
        rss.append(idle.rssMb);
    }
    report(QStringLiteral("decoders"), double(pss.size()));
    report(QStringLiteral("idle_pss_mb"), median(pss));
    report(QStringLiteral("idle_rss_mb"), median(rss));
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
    const QStringList pictures = folder.entryList(
        {QStringLiteral("*.jpg"), QStringLiteral("*.bmp"), QStringLiteral("*.gif"), QStringLiteral("*.ico")},
        QDir::Files, QDir::Name);
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
