#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Where the program starts for the paths on its command line, decided before
// any window exists. The panes show the folder of the first path that can be
// used (the folder itself, or the folder holding the file); every file goes to
// the slots, and every path that cannot be used is told, in the order given.
struct StartStep
{
    QString path;     // absolute, native separators
    QString refusal;  // empty: open the file into the first free slot; otherwise why the path is not used
};

struct StartPlan
{
    QString folder;  // absolute; empty: the panes stay in the current folder
    QList<StartStep> steps;
};

// Relative paths are taken from `from`.
StartPlan planStart(const QStringList &paths, const QString &from);
