#pragma once

#include "Runner.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the runner's groups share: running a phase in a child process and the
// rows of the table they print.
namespace bench {

// What one child process printed.
struct ChildResult
{
    QMap<QString, QList<double>> values;
    QStringList notes;
    bool ok = false;

    double first(const QString &key) const { return values.value(key).value(0, -1); }
};

// Runs this program again with `arguments`; its notes are passed on once each.
ChildResult runChild(const QStringList &arguments);
QStringList phaseArgs(const QString &phase, const QString &corpus, const QStringList &more = {});

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

// Appends one paired run: ours under `msKey` and `cpuKey` (with its peak)
// against the reference's "ms" and "cpu_ms".
void addPaired(Row &row, const ChildResult &ours, const QString &msKey, const QString &cpuKey,
               const ChildResult &reference);

Row makeRow(const QString &what, const QString &against = {}, const QString &target = {}, Verdict met = {});
// Whether the row's median ratio is within `bound`; unknown without figures.
std::optional<bool> ratioAtMost(const Row &row, double bound);
void printTable(const QList<Row> &rows);
QString loadAverage();
void progress(const QString &text);

// The groups of rows, a file for each: StartupRows.cpp, SlotRows.cpp,
// ListRows.cpp and SmallRows.cpp.
QList<Row> startupRows(const RunOptions &o);
QList<Row> slotRows(const RunOptions &o);
QList<Row> largeRows(const RunOptions &o);
QList<Row> listRows(const RunOptions &o);
QList<Row> smallRows(const RunOptions &o);

}  // namespace bench
