#include "RunSupport.h"

namespace bench {

// Start-up of the program against a bare Qt window, in pairs.
QList<Row> startupRows(const RunOptions &o)
{
    constexpr int kPairsPerRound = 5;
    Row ours = makeRow(QStringLiteral("start-up: main window shown"), QStringLiteral("bare Qt window shown"),
                       QStringLiteral("ratio <= 1.5"), [](const Row &r) { return ratioAtMost(r, 1.5); });
    Row bare = makeRow(QStringLiteral("  (bare Qt window)"));
    Row text =
        makeRow(QStringLiteral("  (Qt window, menu bar, Japanese caption)"), QStringLiteral("bare Qt window shown"));
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

}  // namespace bench
