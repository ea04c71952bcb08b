#include "RunSupport.h"

namespace bench {

namespace {

struct Sample
{
    QString file;
    QString label;
    double bound;  // ratio target against a full decode; 0: none
};

}  // namespace

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
        Row row =
            makeRow(QStringLiteral("open into a slot: ") + sample.label, QStringLiteral("full decode (QImageReader)"));
        if (sample.bound > 0) {
            row.target = QStringLiteral("ratio <= %1").arg(sample.bound);
            row.met = [bound = sample.bound](const Row &r) { return ratioAtMost(r, bound); };
        }
        for (int round = 0; round < o.rounds; ++round) {
            progress(QStringLiteral("slot %1, round %2 of %3").arg(sample.file).arg(round + 1).arg(o.rounds));
            const ChildResult r =
                runChild(phaseArgs(QStringLiteral("slot"), o.corpus, {QStringLiteral("--file"), sample.file}));
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

}  // namespace bench
