// A big folder listed, and the reference points for the list build: plain
// Qt making the same thumbnails.
#include "Phases.h"

#include "Measure.h"
#include "PhaseSteps.h"

#include "app/Form1.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/pictures/PictureFormats.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

namespace bench {

namespace {

QStringList picturesIn(const QString &folder, const QString &filter)
{
    QStringList patterns = rt::filePatterns();
    if (filter != QLatin1String("all") && !filter.isEmpty())
        patterns = {QStringLiteral("*.") + filter};
    QStringList paths;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(patterns, QDir::Files, QDir::Name))
        paths.append(dir.filePath(name));
    return paths;
}

QImage scaledOnLoad(const QString &path)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(size.scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (!image.isNull() && (image.width() > kThumbnail || image.height() > kThumbnail))
        image = image.scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage fullThenScaled(const QString &path)
{
    QImageReader reader(path);
    const QImage image = reader.read();
    return image.isNull() ? image : image.scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Thumbnails of every picture of a folder by plain Qt, kept in memory as a
// thumbnail list keeps them: the reference points for the list build.
int qtThumbnailsPhase(const PhaseOptions &o, QImage (*thumbnail)(const QString &))
{
    const QStringList paths = picturesIn(o.corpus, o.filter);
    QThreadPool pool;
    pool.setMaxThreadCount(o.threads);
    resetPeak();
    const qint64 start = monotonicNs();
    const double cpuStart = cpuMs();
    const QList<QImage> thumbnails = QtConcurrent::blockingMapped<QList<QImage>>(&pool, paths, thumbnail);
    report(QStringLiteral("ms"), elapsedMs(start));
    report(QStringLiteral("cpu_ms"), cpuMs() - cpuStart);
    report(QStringLiteral("peak_mb"), peakMb());
    report(QStringLiteral("pictures"), thumbnails.size());
    qsizetype missing = 0;
    for (const QImage &image : thumbnails)
        missing += image.isNull();
    if (missing)
        note(QStringLiteral("%1 pictures failed to decode").arg(missing));
    return 0;
}

}  // namespace

// FileListBox::setPath on a big folder, until the whole of it is listed and painted.
int fileListPhase(const PhaseOptions &o)
{
    QTemporaryDir empty;
    startProgram(empty.path());
    rt::FileListBox *list = form1().File1;
    resetPeak();
    for (int i = 0; i < o.repeat; ++i) {
        const qint64 start = monotonicNs();
        list->setPath(o.dir);
        waitListed();
        settle();
        report(QStringLiteral("ms"), elapsedMs(start));
        report(QStringLiteral("files_listed"), list->listCount());
        list->setPath(empty.path());
        waitListed();
        settle();
    }
    report(QStringLiteral("peak_mb"), peakMb());
    return 0;
}

int qtScaledOnLoadPhase(const PhaseOptions &o) { return qtThumbnailsPhase(o, scaledOnLoad); }

int qtFullThenScaledPhase(const PhaseOptions &o) { return qtThumbnailsPhase(o, fullThenScaled); }

}  // namespace bench
