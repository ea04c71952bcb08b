#pragma once

#include "runtime/services/Sanitizer.h"

// Running risky work in a child process, so that a crash, a hang or a runaway
// allocation fails one check instead of taking the test program (and the CI
// run) with it. The child is a fork of the test program and shares its
// set-up, such as the loader's limits. Windows has no fork: there the work
// runs in the test program itself, so a crash or a hang ends the program
// (ctest tells it) and memory is measured as the commit charge it adds.
#include "runtime/decoding/Decode.h"
#include "runtime/pictures/PictureLoader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSize>
#include <QString>

#include <csignal>
#include <cstring>
#include <functional>
#ifdef Q_OS_WIN
#include <windows.h>
#include <psapi.h>
#else
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#endif

namespace test {

constexpr bool kSanitized = rt::kAddressSanitizer;

// Processor time allowed for work that must feel instant; sanitized builds
// run slower. Processor time, not wall time, so that a loaded machine fails
// nothing; work that blocks instead shows as a hung child.
constexpr qint64 kPromptMs = kSanitized ? 3000 : 1000;

// The processor time this process (on Windows: this thread) has used so far.
inline qint64 processorMs()
{
#ifdef Q_OS_WIN
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    return qint64((quint64(user.dwHighDateTime) << 32 | user.dwLowDateTime) / 10000);
#else
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return qint64(used.tv_sec) * 1000 + used.tv_nsec / 1000000;
#endif
}

struct ChildResult
{
    enum Kind { Finished, Crashed, Hung };
    Kind kind = Hung;
    int exitCode = -1;
    int signal = 0;
    QByteArray output;  // what the child's body returned
};

// Runs `body` in a child and hands back what it returned. A child that has
// not finished within `timeoutMs` is killed and reported hung.
inline ChildResult runInChild(const std::function<QByteArray()> &body, int timeoutMs = 30000)
{
#ifdef Q_OS_WIN
    Q_UNUSED(timeoutMs);
    return {ChildResult::Finished, 0, 0, body()};
#else
    int channel[2];
    if (::pipe(channel) != 0)
        qFatal("pipe failed");
    const pid_t child = ::fork();
    if (child < 0)
        qFatal("fork failed");
    if (child == 0) {
        ::close(channel[0]);
        const QByteArray output = body();
        qsizetype written = 0;
        while (written < output.size()) {
            const ssize_t part = ::write(channel[1], output.constData() + written, size_t(output.size() - written));
            if (part <= 0)
                ::_exit(125);
            written += part;
        }
        ::_exit(0);  // no exit handlers: they belong to the parent
    }

    ::close(channel[1]);
    ChildResult result;
    QElapsedTimer waited;
    waited.start();
    bool hung = false;
    for (char chunk[4096];;) {
        pollfd ready{channel[0], POLLIN, 0};
        const int left = int(qMax<qint64>(0, timeoutMs - waited.elapsed()));
        if (::poll(&ready, 1, left) <= 0) {
            hung = true;
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t part = ::read(channel[0], chunk, sizeof chunk);
        if (part <= 0)
            break;
        result.output.append(chunk, part);
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (hung) {
        result.kind = ChildResult::Hung;
    } else if (WIFSIGNALED(status)) {
        result.kind = ChildResult::Crashed;
        result.signal = WTERMSIG(status);
    } else {
        result.kind = ChildResult::Finished;
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
#endif
}

struct Outcome
{
    enum Kind { Loaded, Refused, Crashed, Hung };
    Kind kind = Hung;
    QSize image;                           // the decoded image
    QSize fileSize;                        // the picture's own size as the loader reports it
    rt::Reason reason = rt::Reason::None;  // why the loader refused it
    QString error;                         // that reason as the user reads it, or how the child ended
    qint64 milliseconds = 0;               // processor time the decode took
    qint64 grownMiB = 0;                   // resident memory the decode added at its peak

    bool clean() const { return kind == Loaded || kind == Refused; }
    QString describe() const
    {
        static const char *kinds[] = {"loaded", "refused", "CRASHED", "HUNG"};
        return QStringLiteral("%1 %2x%3 (file %4x%5) in %6 ms of processor time, +%7 MiB %8")
            .arg(QLatin1String(kinds[kind]))
            .arg(image.width())
            .arg(image.height())
            .arg(fileSize.width())
            .arg(fileSize.height())
            .arg(milliseconds)
            .arg(grownMiB)
            .arg(error);
    }
};

namespace detail {

struct Report
{
    int loaded, width, height, fileWidth, fileHeight, reason;
    qint64 milliseconds, grownKiB;
};

inline qint64 residentKiB()
{
#ifdef Q_OS_WIN
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return qint64(counters.PagefileUsage / 1024);
#else
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return qint64(resident) * (sysconf(_SC_PAGESIZE) / 1024);
#endif
}

// The most this process has held: a forked child's peak starts at its size.
inline qint64 peakKiB()
{
#ifdef Q_OS_WIN
    return residentKiB();  // what the decode still holds
#else
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

}  // namespace detail

// rt::decodePicture(path, fill) in a child, after `prepare` there; in this
// process when not `apart` (its memory then not measured): the decode itself
// runs in a decoder process either way, and a forked child starts decoders
// of its own.
inline Outcome decodeInChild(const QString &path, QSize fill = QSize(), const std::function<void()> &prepare = {},
                             int timeoutMs = 30000, bool apart = true)
{
    const auto body = [&] {
        if (prepare)
            prepare();
        detail::Report report{};
        const qint64 before = detail::residentKiB();
        const qint64 started = processorMs();
        const rt::Decoded decoded = rt::decodePicture(path, fill);
        report.milliseconds = processorMs() - started;
        report.grownKiB = apart ? qMax<qint64>(0, detail::peakKiB() - before) : 0;
        report.loaded = !decoded.image.isNull();
        report.width = decoded.image.width();
        report.height = decoded.image.height();
        report.fileWidth = decoded.fileSize.width();
        report.fileHeight = decoded.fileSize.height();
        report.reason = int(decoded.error.reason);
        const QString told = rt::reasonText(rt::Action::Open, decoded.error);
        return QByteArray(reinterpret_cast<const char *>(&report), sizeof report) + told.toUtf8();
    };
    const ChildResult child = apart ? runInChild(body, timeoutMs) : ChildResult{ChildResult::Finished, 0, 0, body()};

    Outcome outcome;
    if (child.kind == ChildResult::Finished && child.exitCode == 0
        && child.output.size() >= qsizetype(sizeof(detail::Report))) {
        detail::Report report;
        std::memcpy(&report, child.output.constData(), sizeof report);
        outcome.kind = report.loaded ? Outcome::Loaded : Outcome::Refused;
        outcome.image = QSize(report.width, report.height);
        outcome.fileSize = QSize(report.fileWidth, report.fileHeight);
        outcome.reason = rt::Reason(report.reason);
        outcome.error = QString::fromUtf8(child.output.mid(sizeof report));
        outcome.milliseconds = report.milliseconds;
        outcome.grownMiB = report.grownKiB / 1024;
    } else {
        outcome.kind = child.kind == ChildResult::Hung ? Outcome::Hung : Outcome::Crashed;
        outcome.error =
            QStringLiteral("child ended with signal %1, exit code %2").arg(child.signal).arg(child.exitCode);
    }
    return outcome;
}

}  // namespace test
