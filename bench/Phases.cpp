#include "Phases.h"

#include "Measure.h"
#include "PaintWatch.h"
#include "StallWatch.h"

#include "app/Form1.h"
#include "app/Startup.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/pictures/PictureLoader.h"
#include "runtime/services/Paths.h"
#include "runtime/services/Platform.h"
#include "runtime/services/Program.h"
#include "runtime/forms/controls/Controls.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/SharedThumbnails.h"
#include "thumbnailing/ThumbnailCache.h"
#include "thumbnailing/ThumbnailMaker.h"
#include "thumbnailing/ThumbnailQueue.h"
#include "runtime/forms/Twips.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <cstdio>
#include <functional>
#include <map>

namespace bench {

namespace {

constexpr int kThumbnail = 65;  // a thumbnail cell's square, in pixels

// The program's own set-up, in `folder`: it lists the folder it starts in.
void prepareLikeMain(const QString &folder)
{
    QDir::setCurrent(folder);
    prepareProgram();
}

// The program started in `folder`, its main window shown. Failures are written
// out instead of shown in message boxes, which would wait for a click forever.
void startProgram(const QString &folder)
{
    prepareLikeMain(folder);
    rt::setReporter([](const rt::RuntimeError &failure) { note(QStringLiteral("failure: ") + failure.message()); });
    form1().show();
    waitExposed(&form1());
}

QString pathIn(const PhaseOptions &options)
{
    return QDir(options.corpus).filePath(options.file);
}

// Full decode, as a viewer without any scaling on load does it.
double fullDecodeMs(const QString &path)
{
    const qint64 start = monotonicNs();
    QImageReader reader(path);
    const QImage image = reader.read();
    const double ms = elapsedMs(start);
    if (image.isNull())
        note(QStringLiteral("full decode failed: ") + path);
    return ms;
}

bool selectInFileList(const QString &name)
{
    rt::FileListBox *list = form1().File1;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text() == name) {
            list->setListIndex(row);
            return true;
        }
    }
    note(QStringLiteral("not in the file list: ") + name);
    return false;
}

// A double click on the file list entry `name`: File1_DblClick fills the first
// free slot; the slot is painted before the clock stops.
double openIntoSlot(const QString &name)
{
    selectInFileList(name);
    const qint64 start = monotonicNs();
    emit form1().File1->DblClick();
    settle();
    return elapsedMs(start);
}

int slotPhase(const PhaseOptions &o)
{
    startProgram(o.corpus);
    const QString path = pathIn(o);
    Form1 &main = form1();
    if (!selectInFileList(o.file))
        return 1;
    resetPeak();
    report(QStringLiteral("first_ms"), openIntoSlot(o.file));
    report(QStringLiteral("peak_mb"), peakMb());
    if (main.previewSlots.isFree(1))
        note(QStringLiteral("slot 1 stayed free"));
    else
        report(QStringLiteral("shown_px"), main.previewSlots[1].image->picture().image().width());
    main.previewSlots.clear(1);
    settle();
    // Decode and open alternate, so both see the same load on a busy machine.
    for (int i = 0; i < o.repeat; ++i) {
        const double full = fullDecodeMs(path);
        const double open = openIntoSlot(o.file);
        main.previewSlots.clear(1);
        settle();
        report(QStringLiteral("full_ms"), full);
        report(QStringLiteral("ms"), open);
        report(QStringLiteral("ratio"), open / full);
    }
    return 0;
}

// Image1_DblClick with slot 1 filled: the large view opens, loads the picture
// at its own size and is painted.
double openLargeView()
{
    const qint64 start = monotonicNs();
    emit form1().Image1->DblClick();
    Form4 *view = rt::Form::ifLoaded<Form4>();
    if (!view) {
        note(QStringLiteral("the large view did not open"));
        return elapsedMs(start);
    }
    waitExposed(view);
    settle();
    const double ms = elapsedMs(start);
    if (view->Image1->picture().isEmpty())
        note(QStringLiteral("the large view shows no picture"));
    view->unload();
    settle();
    return ms;
}

int largePhase(const PhaseOptions &o)
{
    startProgram(o.corpus);
    const QString path = pathIn(o);
    if (rt::trap([&] { form1().previewSlots.fill(1, path); })) {
        note(QStringLiteral("cannot open ") + path);
        return 1;
    }
    settle();
    resetPeak();
    report(QStringLiteral("first_ms"), openLargeView());
    report(QStringLiteral("peak_mb"), peakMb());
    for (int i = 0; i < o.repeat; ++i) {
        const double full = fullDecodeMs(path);
        const double open = openLargeView();
        report(QStringLiteral("full_ms"), full);
        report(QStringLiteral("ms"), open);
        report(QStringLiteral("ratio"), open / full);
    }
    return 0;
}

// startProgram() step by step, with the time of each step since the runner
// started this process ("app_ms" covers loading, linking and QApplication).
int startupPhase(const PhaseOptions &o)
{
    const auto since = [&] { return double(monotonicNs() - o.startNs) / 1e6; };
    const double app = since();
    prepareLikeMain(o.corpus);
    const double fonts = since();
    Form1 &main = form1();
    const double made = since();
    main.show();
    const double shown = since();
    waitExposed(&main);
    const double total = since();
    report(QStringLiteral("ms"), total);
    report(QStringLiteral("app_ms"), app);
    report(QStringLiteral("fonts_ms"), fonts - app);
    report(QStringLiteral("form_ms"), made - fonts);
    report(QStringLiteral("show_ms"), shown - made);
    report(QStringLiteral("expose_ms"), total - shown);
    report(QStringLiteral("peak_mb"), peakMb());
    report(QStringLiteral("files_listed"), main.File1->count());
    return 0;
}

int bareStartupPhase(const PhaseOptions &o)
{
    report(QStringLiteral("app_ms"), double(monotonicNs() - o.startNs) / 1e6);
    QWidget window;
    window.resize(353, 270);
    window.show();
    waitExposed(&window);
    report(QStringLiteral("ms"), double(monotonicNs() - o.startNs) / 1e6);
    report(QStringLiteral("peak_mb"), peakMb());
    return 0;
}

// The file list's type filter, chosen from its menu as the user would.
void chooseFilter(const QString &filter)
{
    Form1 &main = form1();
    const std::map<QString, QAction *> items = {{QStringLiteral("all"), main.all}, {QStringLiteral("bmp"), main.bmp},
        {QStringLiteral("jpg"), main.jpg}, {QStringLiteral("gif"), main.gif}, {QStringLiteral("ico"), main.ico}};
    const auto found = items.find(filter.isEmpty() ? QStringLiteral("all") : filter);
    if (found != items.end())
        found->second->trigger();
    settle();
}

struct ListBuild
{
    double shownMs = 0;        // "一覧表示" until the list window is shown (its build returned)
    double firstCellMs = -1;   // until the first cell with its picture was painted
    double firstScreenMs = -1; // until every cell in view was
    double ms = 0;             // until every thumbnail is in and painted
    double cpuMs = 0;
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
    const CellPaintWatch painted(start);
    const StallWatch stalls;
    form1().itiran->trigger();
    result.shownMs = elapsedMs(start);
    Form10 *list = rt::Form::ifLoaded<Form10>();
    // Each thumbnail's arrival wakes this loop: nothing polls.
    while (list && list->cells->awaitsPictures())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (MDIForm1 *frame = rt::Form::ifLoaded<MDIForm1>())
        waitExposed(frame);
    settle();
    result.ms = elapsedMs(start);
    result.cpuMs = cpuMs() - cpuStart;
    result.firstCellMs = painted.firstCellMs;
    result.firstScreenMs = painted.firstScreenMs;
    result.longestStallMs = stalls.longestMs();
    if (list) {
        result.cells = list->cells->count();
        // Cells far from the view have given their pictures up again.
        for (qint64 k = 0; k < result.cells; ++k)
            result.withPicture += !list->cells->at(k).picture.isEmpty() || list->cells->at(k).pictureDropped;
    }
    return result;
}

void reportFirstBuild(const ListBuild &first)
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

int listPhase(const PhaseOptions &o)
{
    setEmbeddedThumbnailsUsed(o.embedded);
    startProgram(o.corpus);
    chooseFilter(o.filter);
    report(QStringLiteral("files_listed"), form1().File1->count());
    report(QStringLiteral("before_rss_mb"), residentMb());
    const ListBuild first = buildList();
    reportFirstBuild(first);
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
    startProgram(o.corpus);
    chooseFilter(o.filter);
    rt::FileListBox *File1 = form1().File1;
    report(QStringLiteral("files_listed"), File1->count());
    QStringList paths;
    for (int row = 0; row < File1->count(); ++row)
        paths.append(rt::fullPath(File1->path(), File1->item(row)->text()));  // as the build composes them
    const QSize shown = rt::twipsSize(975, 975) * form1().devicePixelRatioF();
    QThreadPool pool;
    pool.setMaxThreadCount(qBound(1, QThread::idealThreadCount(), 8));
    const qint64 start = monotonicNs();
    const QList<Thumbnail> thumbnails = QtConcurrent::blockingMapped<QList<Thumbnail>>(
        &pool, paths, [shown](const QString &path) { return makeThumbnail(path, shown); });
    for (qsizetype k = 0; k < paths.size(); ++k) {
        if (!thumbnails[k].image.isNull())
            ThumbnailCache::shared().insert(ThumbnailCache::keyOf(paths[k], shown),
                                            {thumbnails[k].image, thumbnails[k].fileSize});
    }
    reportFirstBuild(buildList(start));
    return 0;
}

// A bare window with a menu bar and one Japanese caption: what any window with
// text pays on top of a bare one (fontconfig, glyph fallback for kana).
int textStartupPhase(const PhaseOptions &o)
{
    report(QStringLiteral("app_ms"), double(monotonicNs() - o.startNs) / 1e6);
    QWidget window;
    window.resize(353, 270);
    auto *bar = new QMenuBar(&window);
    bar->addMenu(QStringLiteral("ﾌｧｲﾙ"))->addAction(QStringLiteral("終了"));
    auto *caption = new QLabel(QStringLiteral("場所 ："), &window);
    caption->move(128, 30);
    window.show();
    waitExposed(&window);
    report(QStringLiteral("ms"), double(monotonicNs() - o.startNs) / 1e6);
    report(QStringLiteral("peak_mb"), peakMb());
    return 0;
}

// FileListBox::setPath on a big folder, painted.
int fileListPhase(const PhaseOptions &o)
{
    QTemporaryDir empty;
    startProgram(empty.path());
    rt::FileListBox *list = form1().File1;
    resetPeak();
    for (int i = 0; i < o.repeat; ++i) {
        const qint64 start = monotonicNs();
        list->setPath(o.dir);
        settle();
        report(QStringLiteral("ms"), elapsedMs(start));
        report(QStringLiteral("files_listed"), list->count());
        list->setPath(empty.path());
        settle();
    }
    report(QStringLiteral("peak_mb"), peakMb());
    return 0;
}

QStringList picturesIn(const QString &folder, const QString &filter)
{
    QStringList patterns
        = {QStringLiteral("*.bmp"), QStringLiteral("*.jpg"), QStringLiteral("*.gif"), QStringLiteral("*.ico")};
    if (filter != QLatin1String("all") && !filter.isEmpty())
        patterns = {QStringLiteral("*.") + filter};
    QStringList paths;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(patterns, QDir::Files, QDir::Name))
        paths.append(dir.filePath(name));
    return paths;
}

// Thumbnails of every picture of a folder by plain Qt, kept in memory as a
// thumbnail list keeps them: the reference points for the list build.
int qtThumbnailsPhase(const PhaseOptions &o, const std::function<QImage(const QString &)> &thumbnail)
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

using Phase = std::function<int(const PhaseOptions &)>;

const std::map<QString, Phase> &phases()
{
    static const std::map<QString, Phase> table = {
        {QStringLiteral("startup"), startupPhase},
        {QStringLiteral("bare-startup"), bareStartupPhase},
        {QStringLiteral("text-startup"), textStartupPhase},
        {QStringLiteral("slot"), slotPhase},
        {QStringLiteral("large"), largePhase},
        {QStringLiteral("filelist"), fileListPhase},
        {QStringLiteral("list"), listPhase},
        {QStringLiteral("list-quit"), listQuitPhase},
        {QStringLiteral("list-decode-first"), listDecodeFirstPhase},
        {QStringLiteral("qt-scaled-on-load"), [](const PhaseOptions &o) { return qtThumbnailsPhase(o, scaledOnLoad); }},
        {QStringLiteral("qt-full-then-scaled"),
            [](const PhaseOptions &o) { return qtThumbnailsPhase(o, fullThenScaled); }},
    };
    return table;
}

}  // namespace

QStringList phaseNames()
{
    QStringList names;
    for (const auto &entry : phases())
        names.append(entry.first);
    return names;
}

int runPhase(int argc, char **argv, const PhaseOptions &options)
{
    const auto found = phases().find(options.phase);
    if (found == phases().end()) {
        std::fprintf(stderr, "unknown phase %s (known: %s)\n", qPrintable(options.phase),
            qPrintable(phaseNames().join(QStringLiteral(", "))));
        return 2;
    }
    QApplication app(argc, argv);
    return found->second(options);
}

}  // namespace bench
