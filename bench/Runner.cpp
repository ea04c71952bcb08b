#include "Runner.h"

#include "Measure.h"
#include "RunSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cstdio>

namespace bench {

int runAll(int argc, char **argv, const RunOptions &o)
{
    QCoreApplication app(argc, argv);
    if (!QFile::exists(QDir(o.corpus).filePath(QStringLiteral("photo_001.jpg")))) {
        std::fprintf(
            stderr,
            "pixmoor-bench: %s holds no photo_001.jpg; make it first with tools/make-corpus (see bench/README.md)\n",
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
