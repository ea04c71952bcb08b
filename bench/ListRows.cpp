#include "RunSupport.h"

#include "Measure.h"

namespace bench {

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
    Row full =
        makeRow(QStringLiteral("  (Qt full decode + scaled, 1 thread)"), QStringLiteral("Qt setScaledSize, 2 threads"));
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
        if (ours.ok && floor.ok) {
            addPaired(photos, ours, QStringLiteral("first_ms"), QStringLiteral("first_cpu_ms"), floor);
            again.ours += ours.values.value(QStringLiteral("again_ms"));
            again.peak.append(ours.first(QStringLiteral("again_peak_mb")));
            again.reference.append(ours.first(QStringLiteral("first_ms")));
            again.ratios += ours.values.value(QStringLiteral("again_ratio"));
            cells = int(ours.first(QStringLiteral("cells_with_picture")));
        }
        if (plain.ok && floor.ok) {
            addPaired(full, plain, QStringLiteral("ms"), QStringLiteral("cpu_ms"), floor);
        }
        if (mixedOurs.ok && mixedFloor.ok) {
            addPaired(mixed, mixedOurs, QStringLiteral("first_ms"), QStringLiteral("first_cpu_ms"), mixedFloor);
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

}  // namespace bench
