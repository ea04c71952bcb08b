#include "RunSupport.h"

#include "Measure.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

QSet<QString> &seenNotes()
{
    static QSet<QString> seen;
    return seen;
}

double ratioOf(const Row &row)
{
    if (!row.ratios.isEmpty())
        return median(row.ratios);
    const double reference = median(row.reference);
    return reference > 0 ? median(row.ours) / reference : 0;
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

}  // namespace

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

Row makeRow(const QString &what, const QString &against, const QString &target, Verdict met)
{
    Row row;
    row.what = what;
    row.against = against;
    row.target = target;
    row.met = std::move(met);
    return row;
}

std::optional<bool> ratioAtMost(const Row &row, double bound)
{
    if (row.ours.isEmpty() || (row.reference.isEmpty() && row.ratios.isEmpty()))
        return std::nullopt;
    return ratioOf(row) <= bound;
}

void printTable(const QList<Row> &rows)
{
    std::printf("\n%-46s %9s %13s %8s  %-34s %9s %6s  %-24s %-4s %8s %9s\n", "measurement", "median ms", "min-max ms",
                "peak MB", "against", "its ms", "ratio", "target", "met", "CPU ms", "CPU ratio");
    for (const Row &row : rows) {
        const bool hasReference = !row.reference.isEmpty() || !row.ratios.isEmpty();
        const std::optional<bool> met = row.met ? row.met(row) : std::nullopt;
        std::printf(
            "%-46s %9s %13s %8s  %-34s %9s %6s  %-24s %-4s %8s %9s\n", qPrintable(row.what),
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

void progress(const QString &text) { std::fprintf(stderr, "pixmoor-bench: %s\n", qPrintable(text)); }

QStringList phaseArgs(const QString &phase, const QString &corpus, const QStringList &more)
{
    return QStringList{QStringLiteral("--phase"), phase, QStringLiteral("--corpus"), corpus} + more;
}

void addPaired(Row &row, const ChildResult &ours, const QString &msKey, const QString &cpuKey,
               const ChildResult &reference)
{
    const double ms = ours.first(msKey), referenceMs = reference.first(QStringLiteral("ms"));
    row.ours.append(ms);
    row.peak.append(ours.first(QStringLiteral("peak_mb")));
    row.reference.append(referenceMs);
    row.ratios.append(ms / referenceMs);
    row.cpu.append(ours.first(cpuKey));
    row.cpuRatios.append(ours.first(cpuKey) / reference.first(QStringLiteral("cpu_ms")));
}

}  // namespace bench
