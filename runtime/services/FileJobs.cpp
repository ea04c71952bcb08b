#include "runtime/services/FileJobs.h"

#include "runtime/services/Platform.h"
#include "runtime/services/Program.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <list>
#include <thread>

namespace rt::jobs {

namespace {

struct Running
{
    QElapsedTimer sinceAnswer;  // guarded by the registry's mutex
    bool idle = false;          // waiting for a job, not running one
};

struct Lane
{
    std::deque<std::function<void()>> queue;
    std::list<Running> running;  // one for each thread of the lane
    int unclaimed = 0;           // threads started that have not taken a job yet
    int idle = 0;                // threads waiting for a job
    QWaitCondition wake;         // a job came for them
};

// How long a thread with no job waits for the next: a thread woken is on a
// core sooner than a new one, with its memory at hand.
constexpr int kLingerMs = 2000;

// Every lane, under one mutex: jobs are few and short to hand over.
struct Registry
{
    QMutex mutex;
    QHash<QString, Lane *> lanes;      // one for each volume used; never freed
    int pending = 0;                   // queued or running, every lane
    std::atomic<bool> ending = false;  // the end has begun: nothing new starts or lands
    std::function<void(const QString &)> gate;
};

Registry &registry()
{
    static Registry *instance = [] {
        auto *made = new Registry;  // never destroyed: a stuck thread may outlive main()
        // The end waits for none of them; it only says whether any still runs,
        // so that the way out leaves them be rather than destroying under them.
        atEnd([made](QDeadlineTimer) {
            const QMutexLocker lock(&made->mutex);
            made->ending = true;
            for (Lane *lane : std::as_const(made->lanes))
                made->pending -= int(lane->queue.size()), lane->queue.clear();
            return made->pending == 0;
        });
        return made;
    }();
    return *instance;
}

thread_local Running *current = nullptr;

bool stalled(const Lane &lane)
{
    for (const Running &job : lane.running) {
        if (!job.idle && job.sinceAnswer.hasExpired(kStalledMs))
            return true;
    }
    return false;
}

void startThreads(Lane &lane);

// A lane's thread: runs the lane's jobs until there is none it may start.
void drain(Lane *lane, std::list<Running>::iterator self)
{
    Registry &r = registry();
    bool claimed = false;
    for (;;) {
        std::function<void()> job;
        {
            const QMutexLocker lock(&r.mutex);
            if (!claimed)
                --lane->unclaimed, claimed = true;
            for (bool woken = true; woken && lane->queue.empty() && !r.ending;) {
                self->idle = true, ++lane->idle;
                woken = lane->wake.wait(&r.mutex, QDeadlineTimer(kLingerMs));
                self->idle = false, --lane->idle;
                self->sinceAnswer.start();  // idle is no stall
            }
            if (lane->queue.empty() || r.ending || stalled(*lane)) {
                lane->running.erase(self);
                return;
            }
            job = std::move(lane->queue.front());
            lane->queue.pop_front();
            self->sinceAnswer.start();
        }
        current = &*self;
        job();
        current = nullptr;
        const QMutexLocker lock(&r.mutex);
        --r.pending;
        // An answer after a stall frees the queue that waited on this job.
        self->sinceAnswer.start();
        startThreads(*lane);
    }
}

// Starts the threads the queue needs. Called with the registry's mutex held.
void startThreads(Lane &lane)
{
    if (lane.idle > 0)
        lane.wake.wakeOne();
    while (!registry().ending && int(lane.queue.size()) > lane.unclaimed + lane.idle
           && int(lane.running.size()) < kLaneThreads && !stalled(lane)) {
        lane.running.emplace_back();
        lane.running.back().sinceAnswer.start();
        ++lane.unclaimed;
        std::thread(drain, &lane, std::prev(lane.running.end())).detach();
    }
}

}  // namespace

void enqueue(const QString &path, std::function<void()> job)
{
    const QString volume = platform::driveOf(path);
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    if (r.ending)
        return;
    if (r.gate)
        job = [gate = r.gate, path, job = std::move(job)] {
            gate(path);
            job();
        };
    Lane *&lane = r.lanes[volume];
    if (!lane)
        lane = new Lane;
    lane->queue.push_back(std::move(job));
    ++r.pending;
    startThreads(*lane);
}

void post(QPointer<QObject> receiver, std::function<void()> task)
{
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    if (r.ending || !QCoreApplication::instance())
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [receiver, task = std::move(task)] {
            if (receiver && !registry().ending)
                task();
        },
        Qt::QueuedConnection);
}

bool isStalled(const QString &path)
{
    const QString volume = platform::driveOf(path);
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    const Lane *lane = r.lanes.value(volume);
    return lane && stalled(*lane);
}

void answered()
{
    if (!current)
        return;
    const QMutexLocker lock(&registry().mutex);
    current->sinceAnswer.start();
}

void setGate(std::function<void(const QString &path)> gate)
{
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    r.gate = std::move(gate);
}

int pending()
{
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    return r.pending;
}

}  // namespace rt::jobs
