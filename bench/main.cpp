// pixmoor-bench: times the program's own code, headless, on a picture folder.
//
//   pixmoor-bench CORPUS [--rounds N] [--only GROUP,...] [--small FOLDER]
//       runs every measurement in fresh processes and prints the table;
//       groups: startup, slot, large, list, small (the last needs --small)
//   pixmoor-bench --phase NAME --corpus FOLDER [--file NAME] [--dir FOLDER]
//                 [--filter all|jpg|...] [--repeat N] [--threads N] [--fill N] [--no-embedded]
//       one measurement in this process; "result KEY VALUE" lines
//   pixmoor-bench --make-small FOLDER [--count N]
//       writes the folder of small pictures (10,000 unless told)
#include "Phases.h"
#include "Runner.h"

#include <QString>

#include <cstdio>
#include <cstring>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: pixmoor-bench CORPUS [--rounds N] [--only startup,slot,large,list,small] [--small FOLDER]\n"
                 "       pixmoor-bench --phase NAME --corpus FOLDER [--file NAME] [--dir FOLDER] [--filter TYPE]\n"
                 "                     [--repeat N] [--threads N] [--fill N] [--no-embedded]\n"
                 "       pixmoor-bench --make-small FOLDER [--count N]\n");
    return 2;
}

}  // namespace

int main(int argc, char *argv[])
{
    // Headless unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::PhaseOptions phase;
    bench::RunOptions run;
    QString makeSmall;
    int count = 10000;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&] { return QString::fromLocal8Bit(argv[++i]); };
        if (!std::strcmp(a, "--phase") && hasValue)
            phase.phase = value();
        else if (!std::strcmp(a, "--corpus") && hasValue)
            phase.corpus = value();
        else if (!std::strcmp(a, "--file") && hasValue)
            phase.file = value();
        else if (!std::strcmp(a, "--dir") && hasValue)
            phase.dir = value();
        else if (!std::strcmp(a, "--filter") && hasValue)
            phase.filter = value();
        else if (!std::strcmp(a, "--repeat") && hasValue)
            phase.repeat = value().toInt();
        else if (!std::strcmp(a, "--threads") && hasValue)
            phase.threads = value().toInt();
        else if (!std::strcmp(a, "--fill") && hasValue)
            phase.fill = value().toInt();
        else if (!std::strcmp(a, "--no-embedded"))
            phase.embedded = false;
        else if (!std::strcmp(a, "--start-ns") && hasValue)
            phase.startNs = value().toLongLong();
        else if (!std::strcmp(a, "--rounds") && hasValue)
            run.rounds = value().toInt();
        else if (!std::strcmp(a, "--only") && hasValue)
            run.groups = value().split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (!std::strcmp(a, "--small") && hasValue)
            run.smallFolder = value();
        else if (!std::strcmp(a, "--make-small") && hasValue)
            makeSmall = value();
        else if (!std::strcmp(a, "--count") && hasValue)
            count = value().toInt();
        else if (a[0] != '-' && run.corpus.isEmpty())
            run.corpus = QString::fromLocal8Bit(a);
        else
            return usage();
    }
    if (!makeSmall.isEmpty())
        return bench::makeSmallFolder(makeSmall, count);
    if (!phase.phase.isEmpty())
        return bench::runPhase(argc, argv, phase);
    if (run.corpus.isEmpty() || run.rounds < 1)
        return usage();
    return bench::runAll(argc, argv, run);
}
