#include "thumbnailing/CacheWriter.h"

#include "runtime/Program.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <thread>

namespace cachewriter {

namespace {

// About 64 thumbnails of up to 256 KB: memory stays flat whatever the disk does.
constexpr size_t kMaxWaiting = 64;
// How long the end waits for the write in progress to remove its temporary
// file; it gives up at its next step, so only a stalled disk takes this long.
constexpr int kEndWaitMs = 500;

std::atomic<bool> ended{false};

struct Writer
{
    QMutex mutex;
    QWaitCondition queued;
    QWaitCondition idle;
    std::deque<std::function<void()>> waiting;
    bool writing = false;
    std::function<void()> pause;
};

void run(Writer &writer)
{
    QMutexLocker lock(&writer.mutex);
    for (;;) {
        while (writer.waiting.empty()) {
            writer.writing = false;
            writer.idle.wakeAll();
            writer.queued.wait(&writer.mutex);
        }
        const std::function<void()> write = std::move(writer.waiting.front());
        writer.waiting.pop_front();
        writer.writing = true;
        lock.unlock();
        write();
        lock.relock();
    }
}

Writer &writer()
{
    // Never joined: the process does not wait for it when it ends.
    static Writer *created = [] {
        auto *w = new Writer;
        std::thread([w] { run(*w); }).detach();
        return w;
    }();
    return *created;
}

bool idleBy(Writer &w, QDeadlineTimer deadline)
{
    while (w.writing || !w.waiting.empty()) {
        if (!w.idle.wait(&w.mutex, deadline))
            return false;
    }
    return true;
}

void end()
{
    Writer &w = writer();
    const QMutexLocker lock(&w.mutex);
    ended = true;  // under the lock: nothing is queued after the queue is dropped
    w.waiting.clear();
    idleBy(w, QDeadlineTimer(kEndWaitMs));
}

} // namespace

bool ending()
{
    static const bool registered = [] {
        rt::atEnd(end);
        qAddPostRoutine(end);  // however else the application ends
        return true;
    }();
    Q_UNUSED(registered);
    return ended;
}

void queue(std::function<void()> write)
{
    ending();  // registers the end
    Writer &w = writer();
    const QMutexLocker lock(&w.mutex);
    if (ended || w.waiting.size() >= kMaxWaiting)
        return;
    w.waiting.push_back(std::move(write));
    w.queued.wakeOne();
}

bool proceed()
{
    std::function<void()> pause;
    {
        const QMutexLocker lock(&writer().mutex);
        pause = writer().pause;
    }
    if (pause)
        pause();
    return !ended;
}

void waitForWrites()
{
    Writer &w = writer();
    const QMutexLocker lock(&w.mutex);
    idleBy(w, QDeadlineTimer::Forever);
}

void setPause(std::function<void()> pause)
{
    const QMutexLocker lock(&writer().mutex);
    writer().pause = std::move(pause);
}

void resume()
{
    ended = false;
}

} // namespace cachewriter
