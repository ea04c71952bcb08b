#include "runtime/pictures/DecodeBudget.h"

#include "runtime/services/Ending.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <utility>

namespace {

struct Budget
{
    QMutex mutex;
    QWaitCondition freed;
    // Room for several large scans at once, and never a second 200-megapixel GIF.
    qint64 limit = qint64(512) * 1024 * 1024;
    qint64 claimed = 0;
    int running = 0;
    int waiting = 0;
    quint64 turns = 0, serving = 0;  // the turns given to waiting claims, and the one to go next
    std::function<void(int)> watcher;
};

Budget &budget()
{
    static Budget shared;
    return shared;
}

bool onInterfaceThread()
{
    const QCoreApplication *application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

}  // namespace

DecodeClaim::DecodeClaim(qint64 bytes) : bytes_(qMax<qint64>(bytes, 0))
{
    Budget &shared = budget();
    QMutexLocker lock(&shared.mutex);
    const bool background = !onInterfaceThread();
    if (bytes_ > 0 && background) {
        // In turn: small decodes asked for later never hold off one waiting to run alone.
        const quint64 turn = shared.turns++;
        ++shared.waiting;
        while (!ending::now()
               && (turn != shared.serving || (shared.running > 0 && shared.claimed + bytes_ > shared.limit)))
            shared.freed.wait(&shared.mutex);
        --shared.waiting;
        ++shared.serving;
        shared.freed.wakeAll();  // the next in turn may fit now
    }
    if (ending::now() && background) {  // checked under the lock end() takes: no wake is missed
        bytes_ = 0;
        return;
    }
    granted_ = true;
    if (bytes_ == 0)
        return;
    shared.claimed += bytes_;
    const int running = ++shared.running;
    const auto watcher = shared.watcher;
    lock.unlock();
    if (watcher)
        watcher(running);
}

void DecodeClaim::end()
{
    const QMutexLocker lock(&budget().mutex);
    budget().freed.wakeAll();
}

DecodeClaim::~DecodeClaim()
{
    if (bytes_ <= 0)
        return;
    Budget &shared = budget();
    const QMutexLocker lock(&shared.mutex);
    shared.claimed -= bytes_;
    --shared.running;
    shared.freed.wakeAll();
}

qint64 DecodeClaim::setBudget(qint64 bytes)
{
    const QMutexLocker lock(&budget().mutex);
    return std::exchange(budget().limit, bytes);
}

int DecodeClaim::waiting()
{
    const QMutexLocker lock(&budget().mutex);
    return budget().waiting;
}

void DecodeClaim::setWatcher(std::function<void(int running)> watcher)
{
    const QMutexLocker lock(&budget().mutex);
    budget().watcher = std::move(watcher);
}
