#pragma once

#include <QString>
#include <QStringList>

namespace bench {

struct RunOptions
{
    QString corpus;       // the folder tools/make-corpus made
    QString smallFolder;  // 10,000 small pictures; made when missing; empty: skipped
    int rounds = 3;
    QStringList groups;  // startup, slot, large, list, small; empty: all
};

// Runs every phase in fresh child processes, `rounds` times, and prints the
// table of medians, spreads and ratios against the plain Qt reference points.
int runAll(int argc, char **argv, const RunOptions &options);

}  // namespace bench
