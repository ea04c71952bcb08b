#pragma once

#include <QList>

#include <atomic>
#include <thread>

#include <sys/types.h>

// The program and the decoder processes it starts, counted together: what a
// user's machine pays for the program is the whole tree, not its first process.
namespace bench {

// Every live descendant of this process (children's children included).
QList<pid_t> descendants();

// Resident memory (VmRSS) and proportional set size (Pss, shared pages split
// among the processes that map them) of one process, in MB; -1 when it is gone.
struct ProcessMemory
{
    double rssMb = -1;
    double pssMb = -1;
    double peakMb = -1;  // VmHWM
};
ProcessMemory memoryOf(pid_t pid, bool proportional = true);  // Pss -1 unless proportional

// CPU time of this process, its live descendants and those it has reaped, in
// ms, user and system, less what TreeWatch's sampling took.
double treeCpuMs();

// Samples the tree every 50 ms on a thread of its own until destroyed (PSS
// every 500 ms): the largest sum of RSS and of PSS seen at one moment, this
// process's own peak and the largest peak one descendant reached (the last
// sample of one that was killed).
class TreeWatch
{
public:
    TreeWatch();
    ~TreeWatch();
    double peakRssMb() const { return peakRssKb_ / 1024.0; }
    double peakPssMb() const { return peakPssKb_ / 1024.0; }
    double largestChildMb() const { return largestChildKb_ / 1024.0; }
    int childrenSeen() const { return childrenSeen_; }

private:
    void sample();
    std::atomic<bool> stop_{false};
    std::atomic<long> peakRssKb_{0}, peakPssKb_{0}, largestChildKb_{0};
    std::atomic<int> childrenSeen_{0};
    int samples_ = 0;
    QList<pid_t> seen_;
    std::thread thread_;
};

}  // namespace bench
