#include "Phases.h"

#include <QApplication>

#include <cstdio>
#include <functional>
#include <map>

namespace bench {

namespace {

using Phase = std::function<int(const PhaseOptions &)>;

const std::map<QString, Phase> &phases()
{
    static const std::map<QString, Phase> table = {
        {QStringLiteral("startup"), startupPhase},
        {QStringLiteral("bare-startup"), bareStartupPhase},
        {QStringLiteral("text-startup"), textStartupPhase},
        {QStringLiteral("slot"), slotPhase},
        {QStringLiteral("large"), largePhase},
        {QStringLiteral("decode"), decodePhase},
        {QStringLiteral("decoder-start"), decoderStartPhase},
        {QStringLiteral("hostile"), hostilePhase},
        {QStringLiteral("describe"), describePhase},
        {QStringLiteral("filelist"), fileListPhase},
        {QStringLiteral("list"), listPhase},
        {QStringLiteral("list-quit"), listQuitPhase},
        {QStringLiteral("list-decode-first"), listDecodeFirstPhase},
        {QStringLiteral("qt-scaled-on-load"), qtScaledOnLoadPhase},
        {QStringLiteral("qt-full-then-scaled"), qtFullThenScaledPhase},
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
