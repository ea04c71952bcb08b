#pragma once

#include <QList>
#include <QString>

class QWidget;

// Clocks, memory readings and waits shared by the phases of the benchmark.
namespace bench {

// CLOCK_MONOTONIC, the same clock in every process of the machine, so a parent
// can time a child from before its start to a moment the child reports.
qint64 monotonicNs();
double elapsedMs(qint64 sinceNs);
// CPU time of this process so far, every thread, user and system, in ms: on a
// busy machine it moves less with the load than the wall clock does.
double cpuMs();

// Peak and current resident memory of this process (VmHWM, VmRSS), in MB.
double peakMb();
double residentMb();
// Starts the peak over at the current resident size (writes 5 to
// /proc/self/clear_refs); false where the kernel does not allow it.
bool resetPeak();

// One result line on standard output, "result KEY VALUE", read by the runner.
void report(const QString &key, double value);
void note(const QString &text);  // a free-text line for the reader, "note TEXT"

// Waits until the window of `widget` is exposed; the expose event is handled
// (and the first paint done) when this returns. False after `timeoutMs`.
bool waitExposed(QWidget *widget, int timeoutMs = 20000);
// Delivers the posted events: pending paints, queued keystrokes, deferred deletes.
void settle();

double median(QList<double> values);

}  // namespace bench
