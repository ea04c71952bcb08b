#include "Runner.h"

#include "Measure.h"
#include "Phases.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace bench {

namespace {

// What one child process printed.
struct ChildResult
{
    QMap<QString, QList<double>> values;
    QStringList notes;
    bool ok = false;

    double first(const QString &key) const { return values.value(key).value(0, -1); }
};

QSet<QString> &seenNotes()
{
    static QSet<QString> seen;
    return seen;
}

ChildResult runChild(const QStringList &arguments)
{
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Every child starts over an empty shared thumbnail cache of its own: a
    // cache warmed by the round before would time reads, not decodes, and the
    // user's own cache is left alone.
    const QTemporaryDir cache;
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
    child.setProcessEnvironment(environment);
    const qint64 start = monotonicNs();
    child.setArguments(arguments + QStringList{QStringLiteral("--start-ns"), QString::number(start)});
    child.start();
    ChildResult result;
    if (!child.waitForFinished(-1)) {
        std::fprintf(stderr, "pixmoor-bench: %s did not finish\n", qPrintable(arguments.join(' ')));
        return result;
    }
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 3 && words[0] == "result")
            result.values[QString::fromUtf8(words[1])].append(words[2].toDouble());
        else if (line.startsWith("note "))
            result.notes.append(QString::fromUtf8(line.mid(5)));
    }
    result.ok = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    if (!result.ok)
        std::fprintf(stderr, "pixmoor-bench: %s failed (exit %d):\n%s\n", qPrintable(arguments.join(' ')),
            child.exitCode(), child.readAllStandardError().constData());
    for (const QString &text : std::as_const(result.notes)) {
        if (!seenNotes().contains(text)) {
            seenNotes().insert(text);
            std::fprintf(stderr, "  note (%s): %s\n", qPrintable(arguments.value(1)), qPrintable(text));
        }
    }
    return result;
}

// One line of the table: our series against a reference series.
struct Row
{
    QString what;
    QList<double> ours;  // ms
    QList<double> peak;  // MB
    QString against;
    QList<double> reference;                              // ms
    QList<double> ratios;                                 // paired ours/reference, median taken
    QString target;                                       // shown as written
    std::function<std::optional<bool>(const Row &)> met;  // empty: no target
    QList<double> cpu;                                    // ours, CPU ms of every thread (list builds only)
    QList<double> cpuRatios;                              // paired ours/reference in CPU time
};

using Verdict = std::function<std::optional<bool>(const Row &)>;

Row makeRow(const QString &what, const QString &against = {}, const QString &target = {}, Verdict met = {})
{
    Row row;
    row.what = what;
    row.against = against;
    row.target = target;
    row.met = std::move(met);
    return row;
}

double ratioOf(const Row &row)
{
    if (!row.ratios.isEmpty())
        return median(row.ratios);
    const double reference = median(row.reference);
    return reference > 0 ? median(row.ours) / reference : 0;
}

std::optional<bool> ratioAtMost(const Row &row, double bound)
{
    if (row.ours.isEmpty() || (row.reference.isEmpty() && row.ratios.isEmpty()))
        return std::nullopt;
    return ratioOf(row) <= bound;
}

QString spread(const QList<double> &values)
{
    if (values.isEmpty())
        return QStringLiteral("-");
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return QStringLiteral("%1-%2").arg(*low, 0, 'f', 0).arg(*high, 0, 'f', 0);
}

QString number(const QList<double> &values, int decimals = 0)
{
    return values.isEmpty() ? QStringLiteral("-") : QString::number(median(values), 'f', decimals);
}

void printTable(const QList<Row> &rows)
{
    std::printf("\n%-46s %9s %13s %8s  %-34s %9s %6s  %-24s %-4s %8s %9s\n", "measurement", "median ms", "min-max ms",
        "peak MB", "against", "its ms", "ratio", "target", "met", "CPU ms", "CPU ratio");
    for (const Row &row : rows) {
        const bool hasReference = !row.reference.isEmpty() || !row.ratios.isEmpty();
        const std::optional<bool> met = row.met ? row.met(row) : std::nullopt;
        std::printf("%-46s %9s %13s %8s  %-34s %9s %6s  %-24s %-4s %8s %9s\n", qPrintable(row.what),
            qPrintable(number(row.ours, 1)), qPrintable(spread(row.ours)), qPrintable(number(row.peak)),
            qPrintable(row.against.isEmpty() ? QStringLiteral("-") : row.against), qPrintable(number(row.reference, 1)),
            qPrintable(hasReference ? QString::number(ratioOf(row), 'f', 2) : QStringLiteral("-")),
            qPrintable(row.target.isEmpty() ? QStringLiteral("-") : row.target), !met ? "" : (*met ? "yes" : "NO"),
            qPrintable(number(row.cpu)),
            qPrintable(row.cpuRatios.isEmpty() ? QStringLiteral("-") : QString::number(median(row.cpuRatios), 'f', 2)));
    }
    std::fflush(stdout);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll().split(' ').mid(0, 3).join(' '));
}

void progress(const QString &text)
{
    std::fprintf(stderr, "pixmoor-bench: %s\n", qPrintable(text));
}

QStringList phaseArgs(const QString &phase, const QString &corpus, const QStringList &more = {})
{
    return QStringList{QStringLiteral("--phase"), phase, QStringLiteral("--corpus"), corpus} + more;
}

// Start-up of the program against a bare Qt window, in pairs.
QList<Row> startupRows(const RunOptions &o)
{
    constexpr int kPairsPerRound = 5;
    Row ours = makeRow(QStringLiteral("start-up: main window shown"), QStringLiteral("bare Qt window shown"),
        QStringLiteral("ratio <= 1.5"), [](const Row &r) { return ratioAtMost(r, 1.5); });
    Row bare = makeRow(QStringLiteral("  (bare Qt window)"));
    Row text
        = makeRow(QStringLiteral("  (Qt window, menu bar, Japanese caption)"), QStringLiteral("bare Qt window shown"));
    Row fonts = makeRow(QStringLiteral("  (program: set-up as in main(), fonts)"));
    Row form = makeRow(QStringLiteral("  (program: Form1 made)"));
    Row expose = makeRow(QStringLiteral("  (program: shown and painted)"));
    int listed = 0;
    for (int round = 0; round < o.rounds; ++round) {
        progress(QStringLiteral("start-up, round %1 of %2").arg(round + 1).arg(o.rounds));
        for (int i = 0; i < kPairsPerRound; ++i) {
            const ChildResult reference = runChild(phaseArgs(QStringLiteral("bare-startup"), o.corpus));
            const ChildResult program = runChild(phaseArgs(QStringLiteral("startup"), o.corpus));
            const ChildResult captioned = runChild(phaseArgs(QStringLiteral("text-startup"), o.corpus));
            if (!reference.ok || !program.ok || !captioned.ok)
                continue;
            text.ours.append(captioned.first(QStringLiteral("ms")));
            text.peak.append(captioned.first(QStringLiteral("peak_mb")));
            text.ratios.append(captioned.first(QStringLiteral("ms")) / reference.first(QStringLiteral("ms")));
            text.reference.append(reference.first(QStringLiteral("ms")));
            fonts.ours.append(program.first(QStringLiteral("fonts_ms")));
            form.ours.append(program.first(QStringLiteral("form_ms")));
            expose.ours.append(program.first(QStringLiteral("show_ms")) + program.first(QStringLiteral("expose_ms")));
            ours.ours.append(program.first(QStringLiteral("ms")));
            ours.peak.append(program.first(QStringLiteral("peak_mb")));
            ours.reference.append(reference.first(QStringLiteral("ms")));
            ours.ratios.append(program.first(QStringLiteral("ms")) / reference.first(QStringLiteral("ms")));
            bare.ours.append(reference.first(QStringLiteral("ms")));
            bare.peak.append(reference.first(QStringLiteral("peak_mb")));
            listed = int(program.first(QStringLiteral("files_listed")));
        }
    }
    ours.what += QStringLiteral(" (%1 files listed)").arg(listed);
    return {ours, fonts, form, expose, bare, text};
}

struct Sample
{
    QString file;
    QString label;
    double bound;  // ratio target against a full decode; 0: none
};

QList<Row> slotRows(const RunOptions &o)
{
    const QList<Sample> samples = {
        {QStringLiteral("photo_001.jpg"), QStringLiteral("JPEG 4000x3000"), 0.6},
        {QStringLiteral("scan_001.bmp"), QStringLiteral("BMP 1024x768"), 0},
        {QStringLiteral("anim_001.gif"), QStringLiteral("GIF 800x600"), 0},
        {QStringLiteral("icon_011.ico"), QStringLiteral("ICO 256x256"), 0},
    };
    QList<Row> rows;
    for (const Sample &sample : samples) {
        Row row = makeRow(
            QStringLiteral("open into a slot: ") + sample.label, QStringLiteral("full decode (QImageReader)"));
        if (sample.bound > 0) {
            row.target = QStringLiteral("ratio <= %1").arg(sample.bound);
            row.met = [bound = sample.bound](const Row &r) { return ratioAtMost(r, bound); };
        }
        for (int round = 0; round < o.rounds; ++round) {
            progress(QStringLiteral("slot %1, round %2 of %3").arg(sample.file).arg(round + 1).arg(o.rounds));
            const ChildResult r
                = runChild(phaseArgs(QStringLiteral("slot"), o.corpus, {QStringLiteral("--file"), sample.file}));
            row.ours += r.values.value(QStringLiteral("ms"));
            row.reference += r.values.value(QStringLiteral("full_ms"));
            row.ratios += r.values.value(QStringLiteral("ratio"));
            row.peak += r.values.value(QStringLiteral("peak_mb"));
        }
        rows.append(row);
    }
    return rows;
}

QList<Row> largeRows(const RunOptions &o)
{
    Row row = makeRow(QStringLiteral("large view: JPEG 4000x3000"), QStringLiteral("full decode (QImageReader)"));
    for (int round = 0; round < o.rounds; ++round) {
        progress(QStringLiteral("large view, round %1 of %2").arg(round + 1).arg(o.rounds));
        const ChildResult r = runChild(
            phaseArgs(QStringLiteral("large"), o.corpus, {QStringLiteral("--file"), QStringLiteral("photo_001.jpg")}));
        row.ours += r.values.value(QStringLiteral("ms"));
        row.reference += r.values.value(QStringLiteral("full_ms"));
        row.ratios += r.values.value(QStringLiteral("ratio"));
        row.peak += r.values.value(QStringLiteral("peak_mb"));
    }
    return {row};
}

// One build of the list per child: the first, then the same list again in the
// same run; plain Qt thumbnailing of the same files in the same round.
QList<Row> listRows(const RunOptions &o)
{
    constexpr double kMaxPeakMb = 150;
    Row photos = makeRow(QStringLiteral("list build: 200 photos"), QStringLiteral("Qt setScaledSize, 2 threads"),
        QStringLiteral("ratio <= 1.2, < 150 MB"), [](const Row &r) -> std::optional<bool> {
            const std::optional<bool> fast = ratioAtMost(r, 1.2);
            if (!fast || r.peak.isEmpty())
                return std::nullopt;
            return *fast && median(r.peak) < kMaxPeakMb;
        });
    Row again = makeRow(QStringLiteral("list build again, same run: 200 photos"), QStringLiteral("first build"),
        QStringLiteral("ratio <= 0.1"), [](const Row &r) { return ratioAtMost(r, 0.1); });
    Row full = makeRow(
        QStringLiteral("  (Qt full decode + scaled, 1 thread)"), QStringLiteral("Qt setScaledSize, 2 threads"));
    Row mixed = makeRow(QStringLiteral("list build: whole corpus"), QStringLiteral("Qt setScaledSize, 2 threads"));
    Row mixedAgain = makeRow(QStringLiteral("list build again, same run: whole corpus"), QStringLiteral("first build"),
        QStringLiteral("ratio <= 0.1"), [](const Row &r) { return ratioAtMost(r, 0.1); });
    const auto args = [&](const QString &phase, const QString &filter, const QStringList &more = {}) {
        return phaseArgs(phase, o.corpus, QStringList{QStringLiteral("--filter"), filter} + more);
    };
    int cells = 0;
    for (int round = 0; round < o.rounds; ++round) {
        progress(QStringLiteral("list build, round %1 of %2").arg(round + 1).arg(o.rounds));
        const ChildResult floor = runChild(args(QStringLiteral("qt-scaled-on-load"), QStringLiteral("jpg")));
        const ChildResult ours = runChild(args(QStringLiteral("list"), QStringLiteral("jpg")));
        const ChildResult plain = runChild(args(QStringLiteral("qt-full-then-scaled"), QStringLiteral("jpg"),
            {QStringLiteral("--threads"), QStringLiteral("1")}));
        const ChildResult mixedFloor = runChild(args(QStringLiteral("qt-scaled-on-load"), QStringLiteral("all")));
        const ChildResult mixedOurs = runChild(args(QStringLiteral("list"), QStringLiteral("all")));
        const double floorMs = floor.first(QStringLiteral("ms"));
        if (ours.ok && floor.ok) {
            photos.ours.append(ours.first(QStringLiteral("first_ms")));
            photos.peak.append(ours.first(QStringLiteral("peak_mb")));
            photos.reference.append(floorMs);
            photos.ratios.append(ours.first(QStringLiteral("first_ms")) / floorMs);
            photos.cpu.append(ours.first(QStringLiteral("first_cpu_ms")));
            photos.cpuRatios.append(ours.first(QStringLiteral("first_cpu_ms")) / floor.first(QStringLiteral("cpu_ms")));
            again.ours += ours.values.value(QStringLiteral("again_ms"));
            again.peak.append(ours.first(QStringLiteral("again_peak_mb")));
            again.reference.append(ours.first(QStringLiteral("first_ms")));
            again.ratios += ours.values.value(QStringLiteral("again_ratio"));
            cells = int(ours.first(QStringLiteral("cells_with_picture")));
        }
        if (plain.ok && floor.ok) {
            full.ours.append(plain.first(QStringLiteral("ms")));
            full.peak.append(plain.first(QStringLiteral("peak_mb")));
            full.reference.append(floorMs);
            full.ratios.append(plain.first(QStringLiteral("ms")) / floorMs);
            full.cpu.append(plain.first(QStringLiteral("cpu_ms")));
            full.cpuRatios.append(plain.first(QStringLiteral("cpu_ms")) / floor.first(QStringLiteral("cpu_ms")));
        }
        if (mixedOurs.ok && mixedFloor.ok) {
            mixed.ours.append(mixedOurs.first(QStringLiteral("first_ms")));
            mixed.peak.append(mixedOurs.first(QStringLiteral("peak_mb")));
            mixed.reference.append(mixedFloor.first(QStringLiteral("ms")));
            mixed.ratios.append(mixedOurs.first(QStringLiteral("first_ms")) / mixedFloor.first(QStringLiteral("ms")));
            mixed.cpu.append(mixedOurs.first(QStringLiteral("first_cpu_ms")));
            mixed.cpuRatios.append(
                mixedOurs.first(QStringLiteral("first_cpu_ms")) / mixedFloor.first(QStringLiteral("cpu_ms")));
            mixedAgain.ours += mixedOurs.values.value(QStringLiteral("again_ms"));
            mixedAgain.peak.append(mixedOurs.first(QStringLiteral("again_peak_mb")));
            mixedAgain.reference.append(mixedOurs.first(QStringLiteral("first_ms")));
            mixedAgain.ratios += mixedOurs.values.value(QStringLiteral("again_ratio"));
            mixed.what = QStringLiteral("list build: whole corpus (%1 cells)")
                             .arg(int(mixedOurs.first(QStringLiteral("cells_with_picture"))));
        }
    }
    photos.what += QStringLiteral(" (%1 cells with picture)").arg(cells);
    return {photos, again, full, mixed, mixedAgain};
}

int countPictures(const QString &folder)
{
    return int(QDir(folder)
                   .entryList({QStringLiteral("*.bmp"), QStringLiteral("*.jpg"), QStringLiteral("*.gif"),
                                  QStringLiteral("*.ico")},
                       QDir::Files)
                   .size());
}

QList<Row> smallRows(const RunOptions &o)
{
    constexpr int kCount = 10000;
    if (countPictures(o.smallFolder) < kCount) {
        progress(QStringLiteral("making %1 small pictures in %2").arg(kCount).arg(o.smallFolder));
        QProcess maker;
        maker.setProgram(QCoreApplication::applicationFilePath());
        maker.setArguments({QStringLiteral("--make-small"), o.smallFolder});
        maker.setProcessChannelMode(QProcess::ForwardedChannels);
        maker.start();
        maker.waitForFinished(-1);
    }
    Row listing = makeRow(QStringLiteral("file list: setPath on 10,000 files"), {}, QStringLiteral("< 1000 ms"),
        [](const Row &r) -> std::optional<bool> {
            if (r.ours.isEmpty())
                return std::nullopt;
            return median(r.ours) < 1000;
        });
    Row thumbnails
        = makeRow(QStringLiteral("list build: 10,000 small pictures"), QStringLiteral("Qt setScaledSize, 2 threads"),
            QStringLiteral("builds, < 400 MB"), [](const Row &r) -> std::optional<bool> {
                if (r.peak.isEmpty())
                    return std::nullopt;
                return !r.ours.isEmpty() && median(r.peak) < 400;
            });
    for (int round = 0; round < o.rounds; ++round) {
        progress(QStringLiteral("list of 10,000, round %1 of %2").arg(round + 1).arg(o.rounds));
        const QStringList where = {QStringLiteral("--phase"), QString(), QStringLiteral("--corpus"), o.smallFolder,
            QStringLiteral("--filter"), QStringLiteral("all"), QStringLiteral("--repeat"), QStringLiteral("1")};
        QStringList floorArgs = where, listArgs = where;
        floorArgs[1] = QStringLiteral("qt-scaled-on-load");
        listArgs[1] = QStringLiteral("list");
        const ChildResult floor = runChild(floorArgs);
        const ChildResult ours = runChild(listArgs);
        if (ours.ok && floor.ok && ours.first(QStringLiteral("cells_with_picture")) >= kCount) {
            thumbnails.ours.append(ours.first(QStringLiteral("first_ms")));
            thumbnails.peak.append(ours.first(QStringLiteral("peak_mb")));
            thumbnails.reference.append(floor.first(QStringLiteral("ms")));
            thumbnails.ratios.append(ours.first(QStringLiteral("first_ms")) / floor.first(QStringLiteral("ms")));
            thumbnails.cpu.append(ours.first(QStringLiteral("first_cpu_ms")));
            thumbnails.cpuRatios.append(
                ours.first(QStringLiteral("first_cpu_ms")) / floor.first(QStringLiteral("cpu_ms")));
        } else if (ours.ok) {
            std::fprintf(stderr, "  the list of 10,000 has %d cells with a picture\n",
                int(ours.first(QStringLiteral("cells_with_picture"))));
        }
    }
    for (int round = 0; round < o.rounds; ++round) {
        progress(QStringLiteral("file list of 10,000, round %1 of %2").arg(round + 1).arg(o.rounds));
        const ChildResult r = runChild(phaseArgs(QStringLiteral("filelist"), o.corpus,
            {QStringLiteral("--dir"), o.smallFolder, QStringLiteral("--repeat"), QStringLiteral("3")}));
        listing.ours += r.values.value(QStringLiteral("ms"));
        listing.peak += r.values.value(QStringLiteral("peak_mb"));
    }
    return {listing, thumbnails};
}

}  // namespace

int runAll(int argc, char **argv, const RunOptions &o)
{
    QCoreApplication app(argc, argv);
    if (!QFile::exists(QDir(o.corpus).filePath(QStringLiteral("photo_001.jpg")))) {
        std::fprintf(stderr, "pixmoor-bench: %s holds no photo_001.jpg; make it with make-corpus.sh first\n",
            qPrintable(o.corpus));
        return 2;
    }
    const auto wanted = [&](const char *group) { return o.groups.isEmpty() || o.groups.contains(group); };
    const QString loadBefore = loadAverage();
    const qint64 start = monotonicNs();
    QList<Row> rows;
    if (wanted("startup"))
        rows += startupRows(o);
    if (wanted("slot"))
        rows += slotRows(o);
    if (wanted("large"))
        rows += largeRows(o);
    if (wanted("list"))
        rows += listRows(o);
    if (wanted("small") && !o.smallFolder.isEmpty())
        rows += smallRows(o);
    printTable(rows);
    std::printf("\n%d rounds; ratios are medians of paired runs (same process or same round); %d cores; "
                "load average %s before, %s after; %.0f s in all.\n",
        o.rounds, QThread::idealThreadCount(), qPrintable(loadBefore), qPrintable(loadAverage()),
        elapsedMs(start) / 1000);
    return 0;
}

}  // namespace bench
