#include "ProcessTree.h"

#include "Measure.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

namespace bench {

namespace {

QByteArray readProc(pid_t pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "Key:   1234 kB" lines of /proc status files.
double fieldKb(const QByteArray &text, const QByteArray &key)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toDouble();
    }
    return -1;
}

void addChildren(pid_t pid, QList<pid_t> &into)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &child : children.readAll().simplified().split(' ')) {
            if (const pid_t found = child.toInt(); found > 0 && !into.contains(found)) {
                into.append(found);
                addChildren(found, into);
            }
        }
    }
}

// What TreeWatch's samples took (reading every smaps_rollup walks the
// page tables): the benchmark's cost, not the program's.
std::atomic<qint64> samplingNs{0};

qint64 threadCpuNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

QList<pid_t> descendants()
{
    QList<pid_t> found;
    addChildren(::getpid(), found);
    return found;
}

ProcessMemory memoryOf(pid_t pid, bool proportional)
{
    const QByteArray status = readProc(pid, "status");
    const QByteArray rollup = proportional ? readProc(pid, "smaps_rollup") : QByteArray();
    if (status.isEmpty() || (proportional && rollup.isEmpty()))
        return {};
    return {fieldKb(status, "VmRSS") / 1024, proportional ? fieldKb(rollup, "Pss") / 1024 : -1,
            fieldKb(status, "VmHWM") / 1024};
}

double treeCpuMs()
{
    static const double tick = double(::sysconf(_SC_CLK_TCK));
    double ms = cpuMs();
    for (const pid_t pid : descendants()) {
        // utime, stime and what its reaped children used (the fork server's
        // decoders): fields 14 to 17, counted after the parenthesised name.
        const QByteArray stat = readProc(pid, "stat");
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 14)
            ms += (fields[11].toDouble() + fields[12].toDouble() + fields[13].toDouble() + fields[14].toDouble()) * 1000
                / tick;
    }
    rusage reaped;
    ::getrusage(RUSAGE_CHILDREN, &reaped);
    const auto toMs = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms + toMs(reaped.ru_utime) + toMs(reaped.ru_stime) - double(samplingNs.load()) / 1e6;
}

TreeWatch::TreeWatch()
    : thread_([this] {
        while (!stop_) {
            const qint64 before = threadCpuNs();
            sample();
            samplingNs += threadCpuNs() - before;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    })
{}

TreeWatch::~TreeWatch()
{
    stop_ = true;
    thread_.join();
}

void TreeWatch::sample()
{
    // Pss walks each process's page tables under its memory lock, which
    // stalls the decoders' own mapping: read every tenth sample only.
    const bool proportional = samples_++ % 10 == 0;
    const ProcessMemory self = memoryOf(::getpid(), proportional);
    long rssKb = long(self.rssMb * 1024), pssKb = long(self.pssMb * 1024);
    for (const pid_t pid : descendants()) {
        const ProcessMemory child = memoryOf(pid, proportional);
        if (child.rssMb < 0)
            continue;
        rssKb += long(child.rssMb * 1024);
        pssKb += long(child.pssMb * 1024);
        largestChildKb_ = qMax(largestChildKb_.load(), long(child.peakMb * 1024));
        if (!seen_.contains(pid))
            seen_.append(pid);
    }
    peakRssKb_ = qMax(peakRssKb_.load(), rssKb);
    if (proportional)
        peakPssKb_ = qMax(peakPssKb_.load(), pssKb);
    childrenSeen_ = int(seen_.size());
}

}  // namespace bench
