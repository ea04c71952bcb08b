// The thumbnail list: built, built again, ended while it is built, and built
// the old way with every thumbnail decoded first.
#include "Phases.h"

#include "Measure.h"
#include "PaintWatch.h"
#include "PhaseSteps.h"
#include "ProcessTree.h"
#include "StallWatch.h"

#include "app/Form1.h"
#include "runtime/services/DecodeThreads.h"
#include "runtime/services/Paths.h"
#include "runtime/services/Program.h"
#include "runtime/forms/Twips.h"
#include "runtime/forms/controls/FileListBox.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/SharedThumbnails.h"
#include "thumbnailing/ThumbnailCache.h"
#include "thumbnailing/ThumbnailMaker.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>

namespace bench {

namespace {

struct ListBuild
{
    double shownMs = 0;         // "一覧表示" until the list window is shown (its build returned)
    double firstCellMs = -1;    // until the first cell with its picture was painted
    double firstScreenMs = -1;  // until every cell in view was
    double ms = 0;              // until every thumbnail is in and painted
    double cpuMs = 0;
    double treeCpuMs = 0;       // the decoder processes' included
    double longestStallMs = 0;  // the event loop's longest gap, from the choice to every thumbnail in
    qint64 cells = 0;
    qint64 withPicture = 0;
};

// "一覧表示" from the file list's menu: Form10 loads (its Form_Load walks the
// file list and makes every cell, while the thumbnails are decoded on a pool)
// and shows in its frame; the thumbnails then fill the cells. The clock stops
// once every thumbnail is in and the frame is painted. `start`: when the clock
// started, if before this call.
ListBuild buildList(qint64 start = 0)
{
    ListBuild result;
    if (!start)
        start = monotonicNs();
    const double cpuStart = cpuMs();
    const double treeCpuStart = treeCpuMs();
    const CellPaintWatch painted(start);
    const StallWatch stalls;
    form1().itiran->trigger();
    result.shownMs = elapsedMs(start);
    Form10 *list = rt::Form::ifLoaded<Form10>();
    // Each thumbnail's arrival wakes this loop: nothing polls.
    while (list && !list->thumbnailsDone())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (MDIForm1 *frame = rt::Form::ifLoaded<MDIForm1>())
        waitExposed(frame);
    settle();
    result.ms = elapsedMs(start);
    result.cpuMs = cpuMs() - cpuStart;
    result.treeCpuMs = treeCpuMs() - treeCpuStart;
    result.firstCellMs = painted.firstCellMs;
    result.firstScreenMs = painted.firstScreenMs;
    result.longestStallMs = stalls.longestMs();
    if (list) {
        result.cells = list->cells->count();
        // Cells far from the view have given their pictures up again.
        for (qint64 k = 0; k < result.cells; ++k)
            result.withPicture +=
                !list->cells->at(k).picture.isEmpty() || list->cells->at(k).pictureAwaited;  // awaited again: given up
    }
    return result;
}

void reportFirstBuild(const ListBuild &first, const TreeWatch &tree)
{
    report(QStringLiteral("shown_ms"), first.shownMs);
    report(QStringLiteral("first_cell_ms"), first.firstCellMs);
    report(QStringLiteral("first_screen_ms"), first.firstScreenMs);
    // The peak since the process started: the whole program's, as /usr/bin/time
    // would give it.
    report(QStringLiteral("first_ms"), first.ms);
    report(QStringLiteral("first_cpu_ms"), first.cpuMs);
    report(QStringLiteral("longest_stall_ms"), first.longestStallMs);
    report(QStringLiteral("peak_mb"), peakMb());
    // The program with its decoders: the largest sums seen at one moment.
    report(QStringLiteral("first_tree_cpu_ms"), first.treeCpuMs);
    report(QStringLiteral("tree_peak_mb"), tree.peakRssMb());
    report(QStringLiteral("tree_peak_pss_mb"), tree.peakPssMb());
    report(QStringLiteral("decoder_peak_mb"), tree.largestChildMb());
    report(QStringLiteral("decoders_seen"), tree.childrenSeen());
    report(QStringLiteral("cells"), double(first.cells));
    report(QStringLiteral("cells_with_picture"), double(first.withPicture));
}

// The frame's close box: the list window goes with it.
void closeList()
{
    if (MDIForm1 *frame = rt::Form::ifLoaded<MDIForm1>())
        frame->close();
    settle();
}

}  // namespace

int listPhase(const PhaseOptions &o)
{
    setEmbeddedThumbnailsUsed(o.embedded);
    const TreeWatch tree;
    startProgram(o.corpus);
    chooseFilter(o.filter);
    report(QStringLiteral("files_listed"), form1().File1->listCount());
    report(QStringLiteral("before_rss_mb"), residentMb());
    const ListBuild first = buildList();
    reportFirstBuild(first, tree);
    const double openRssMb = residentMb();
    // The program ends without waiting for the cache's writes, which trail the
    // build: waited for here, untimed, so that a new process finds them all.
    SharedThumbnail::waitForWrites();
    closeList();
    report(QStringLiteral("open_rss_mb"), openRssMb);
    report(QStringLiteral("closed_rss_mb"), residentMb());
    {
        QEventLoop later;  // the heap is given back a moment after the list is gone
        QTimer::singleShot(3000, &later, &QEventLoop::quit);
        later.exec();
    }
    report(QStringLiteral("closed_3s_rss_mb"), residentMb());
    resetPeak();
    for (int i = 0; i < o.repeat; ++i) {
        const ListBuild again = buildList();
        report(QStringLiteral("again_ms"), again.ms);
        report(QStringLiteral("again_ratio"), again.ms / first.ms);
        if (again.withPicture != first.withPicture)
            note(QStringLiteral("the second build has %1 pictures, the first %2")
                     .arg(again.withPicture)
                     .arg(first.withPicture));
        closeList();
    }
    report(QStringLiteral("again_peak_mb"), peakMb());
    return 0;
}

// "終了" chosen while the list's thumbnails are still being made: a screenful
// and more are in, most are still to come. Prints when it was chosen
// (quit_at_ms, the wall clock); the caller times the process until it is gone.
int listQuitPhase(const PhaseOptions &o)
{
    startProgram(o.corpus);
    chooseFilter(o.filter);
    form1().itiran->trigger();
    while (ThumbnailQueue::decodeCount() < 40)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    report(QStringLiteral("quit_at_ms"), double(QDateTime::currentMSecsSinceEpoch()));
    form1().mnuExit->trigger();
    return rt::leaveProgram(0);  // as main() leaves
}

// The list as it was built before it showed itself at once: every thumbnail
// decoded first (the same function, one thread per core, at most eight), then
// the list built and shown with all of them, taking them from the cache.
int listDecodeFirstPhase(const PhaseOptions &o)
{
    const TreeWatch tree;
    startProgram(o.corpus);
    chooseFilter(o.filter);
    rt::FileListBox *File1 = form1().File1;
    report(QStringLiteral("files_listed"), File1->listCount());
    QStringList paths;
    for (int row = 0; row < File1->listCount(); ++row)
        paths.append(rt::fullPath(File1->path(), File1->entry(row)));  // as the build composes them
    const QSize shown = rt::twipsSize(975, 975) * form1().devicePixelRatioF();
    QThreadPool pool;
    pool.setMaxThreadCount(rt::decodeThreads());  // as the thumbnail pool
    const qint64 start = monotonicNs();
    const QList<Thumbnail> thumbnails =
        QtConcurrent::blockingMapped<QList<Thumbnail>>(&pool, paths, [shown](const QString &path) {
            Thumbnail made = makeThumbnail(path, shown);
            made.image = made.image.isNull() ? made.image : CellGrid::shownPicture(made.image, shown);
            return made;
        });
    for (qsizetype k = 0; k < paths.size(); ++k) {
        if (!thumbnails[k].image.isNull())
            ThumbnailCache::shared().insert(ThumbnailCache::keyOf(paths[k], shown),
                                            {thumbnails[k].image, thumbnails[k].fileSize});
    }
    reportFirstBuild(buildList(start), tree);
    return 0;
}

}  // namespace bench
