#pragma once

#include <QString>
#include <QStringList>

// The phases of the benchmark. Each runs in a process of its own, started by
// the runner as "pixmoor-bench --phase NAME ...", and prints its results as
// "result KEY VALUE" lines (several lines with one key make a series).
namespace bench {

struct PhaseOptions
{
    QString phase;
    QString corpus;  // the folder the program starts in, and the pictures' folder
    QString file;    // one picture file name inside `corpus`
    QString dir;     // another folder (the 10,000 small pictures)
    QString filter;  // the file list's type filter: all, bmp, jpg, gif, ico
    int repeat = 5;
    int threads = 2;
    int fill = 0;          // the square a decode covers, in pixels; 0: full size
    bool embedded = true;  // list cells may use cameras' embedded thumbnails
    qint64 startNs = 0;    // CLOCK_MONOTONIC just before the runner started this process
};

int runPhase(int argc, char **argv, const PhaseOptions &options);

// The phases, a file for each group: StartupPhases.cpp, SlotPhases.cpp,
// DecodePhases.cpp, ListPhases.cpp and ReferencePhases.cpp.
int startupPhase(const PhaseOptions &o);
int bareStartupPhase(const PhaseOptions &o);
int textStartupPhase(const PhaseOptions &o);
int slotPhase(const PhaseOptions &o);
int largePhase(const PhaseOptions &o);
int decodePhase(const PhaseOptions &o);
int decoderStartPhase(const PhaseOptions &o);
int hostilePhase(const PhaseOptions &o);
int describePhase(const PhaseOptions &o);
int listPhase(const PhaseOptions &o);
int listQuitPhase(const PhaseOptions &o);
int listDecodeFirstPhase(const PhaseOptions &o);
int fileListPhase(const PhaseOptions &o);
int qtScaledOnLoadPhase(const PhaseOptions &o);
int qtFullThenScaledPhase(const PhaseOptions &o);
QStringList phaseNames();

// Writes `count` small pictures (mostly JPEG, some BMP, GIF and ICO) into
// `folder`, skipping files already there. Deterministic.
int makeSmallFolder(const QString &folder, int count);

}  // namespace bench
