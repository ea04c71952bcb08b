#include "Measure.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace bench {

qint64 monotonicNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double elapsedMs(qint64 sinceNs) { return double(monotonicNs() - sinceNs) / 1e6; }

double cpuMs()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

namespace {

double statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble();
    }
    return -1;
}

// Quits a loop once a window has been exposed. The filter sees the expose
// event before the window handles it; the loop ends after that handling.
class ExposeWatch : public QObject
{
public:
    ExposeWatch(QWindow *window, QEventLoop *loop) : window_(window), loop_(loop) { window_->installEventFilter(this); }
    ~ExposeWatch() override { window_->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window_ && event->type() == QEvent::Expose)
            QTimer::singleShot(0, loop_, [this] {
                if (window_->isExposed())
                    loop_->quit();
            });
        return false;
    }

private:
    QWindow *window_;
    QEventLoop *loop_;
};

}  // namespace

double peakMb() { return statusKb("VmHWM") / 1024.0; }

double residentMb() { return statusKb("VmRSS") / 1024.0; }

bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

void report(const QString &key, double value)
{
    std::printf("result %s %.3f\n", qPrintable(key), value);
    std::fflush(stdout);
}

void note(const QString &text)
{
    std::printf("note %s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

bool waitExposed(QWidget *widget, int timeoutMs)
{
    QWindow *window = widget->window()->windowHandle();
    if (!window)
        return false;
    if (!window->isExposed()) {
        QEventLoop loop;
        ExposeWatch watch(window, &loop);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    settle();
    return window->isExposed();
}

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace bench
