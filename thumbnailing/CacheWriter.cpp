#include "thumbnailing/CacheWriter.h"

#include "runtime/pictures/DecodeBudget.h"
#include "runtime/services/Ending.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QWaitCondition>

#include <deque>
#include <thread>

namespace cachewriter {

namespace {

// About 64 thumbnails of up to 256 KB: memory stays flat whatever the disk does.
constexpr size_t kMaxWaiting = 64;

struct Writer
{
    QMutex mutex;
    QWaitCondition queued;
    QWaitCondition idle;
    std::deque<std::function<void()>> waiting;
    bool writing = false;
    bool running = false;  // the thread is there
    std::function<void()> pause;
};

// Runs until the end, and again when a test takes up work after it.
void run(Writer &writer)
{
    QMutexLocker lock(&writer.mutex);
    for (;;) {
        while (writer.waiting.empty()) {
            writer.writing = false;
            writer.running = !ending::now();
            writer.idle.wakeAll();
            if (!writer.running)
                return;
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
    static Writer *const shared = new Writer;  // outlives every thread that may use it
    return *shared;
}

// Started with the first write, under the writer's lock. Not joined: it has
// stopped, or given up at the end's deadline, before the process leaves.
void startWriter(Writer &w)
{
    if (w.running)
        return;
    w.running = true;
    std::thread([&w] { run(w); }).detach();
}

template <typename Done>
bool waitUntil(Writer &w, QDeadlineTimer deadline, Done done)
{
    while (!done()) {
        if (!w.idle.wait(&w.mutex, deadline))
            return done();
    }
    return true;
}

}  // namespace

bool end(QDeadlineTimer deadline)
{
    Writer &w = writer();
    QMutexLocker lock(&w.mutex);
    ending::begin();  // under the lock: nothing is queued after the queue is dropped
    w.waiting.clear();
    w.queued.wakeAll();
    lock.unlock();
    DecodeClaim::end();
    lock.relock();
    return waitUntil(w, deadline, [&w] { return !w.running; });
}

void queue(std::function<void()> write)
{
    Writer &w = writer();
    const QMutexLocker lock(&w.mutex);
    if (ending::now() || w.waiting.size() >= kMaxWaiting)
        return;
    w.waiting.push_back(std::move(write));
    startWriter(w);
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
    return !ending::now();
}

void waitForWrites()
{
    Writer &w = writer();
    const QMutexLocker lock(&w.mutex);
    waitUntil(w, QDeadlineTimer::Forever, [&w] { return !w.writing && w.waiting.empty(); });
}

void setPause(std::function<void()> pause)
{
    const QMutexLocker lock(&writer().mutex);
    writer().pause = std::move(pause);
}

void resume() { ending::takeBack(); }

}  // namespace cachewriter
