#include "runtime/decoding/DecoderPool.h"

#include "runtime/services/Ending.h"
#include "runtime/services/Program.h"

#include <QThread>

namespace rt::decoding {

namespace {

bool same(const Worker &a, const Worker &b)
{
    return a.pid == b.pid && a.process == b.process;
}

} // namespace

Pool &Pool::instance()
{
    static Pool pool;
    return pool;
}

Worker Pool::take()
{
    QMutexLocker lock(&mutex_);
    // One starting is soon there: starting another would only slow both.
    while (busy_.size() >= size_ || (waiting_.isEmpty() && starting_ > 0))
        changed_.wait(&mutex_);
    while (!waiting_.isEmpty()) {
        const Worker worker = waiting_.takeFirst();
        if (!workerGone(worker)) {
            busy_.append(worker);
            return worker;
        }
        killWorker(worker);  // killed while it waited: not handed a picture it would seem to refuse
        releaseWorker(worker);
    }
    ++starting_;
    lock.unlock();
    const Worker worker = startOne();
    lock.relock();
    --starting_;
    changed_.wakeAll();
    if (worker.pid >= 0)
        busy_.append(worker);
    return worker;
}

void Pool::finish(const Worker &worker)
{
    {
        const QMutexLocker lock(&mutex_);
        busy_.removeIf([&](const Worker &busy) { return same(busy, worker); });
        killWorker(worker);
        changed_.wakeOne();
    }
    releaseWorker(worker);
}

void Pool::prepare()
{
    const QMutexLocker lock(&mutex_);
    if (waiting_.size() + starting_ >= decodersAhead() || ending::now())
        return;
    ++starting_;
    // Off the decoding threads: a start may take long (a new process on Windows).
    starter_.start([this] { startWaiting(); });
}

void Pool::startWaiting()
{
    const Worker worker = startOne();
    QMutexLocker lock(&mutex_);
    --starting_;
    changed_.wakeAll();
    if (worker.pid < 0)
        return;
    if (ending::now()) {  // endAll() has run meanwhile
        killWorker(worker);
        lock.unlock();
        releaseWorker(worker);
        return;
    }
    waiting_.append(worker);
}

void Pool::fill()
{
    for (int i = 0; i < decodersAhead(); ++i)
        prepare();
}

Worker Pool::startOne()
{
    return startWorker(program(), arguments());
}

bool Pool::endAll()
{
    QList<Worker> waiting;
    {
        const QMutexLocker lock(&mutex_);
        waiting.swap(waiting_);
        for (const Worker &worker : std::as_const(waiting))
            killWorker(worker);
        for (const Worker &worker : std::as_const(busy_))
            killWorker(worker);
    }
    for (const Worker &worker : std::as_const(waiting))
        releaseWorker(worker);
    endStarting();
    return true;
}

void Pool::prepareFork()
{
    mutex_.lock();
}

void Pool::afterFork(bool child)
{
    if (child) {
        for (const Worker &worker : std::as_const(waiting_) + std::as_const(busy_))
            releaseWorker(worker);
        waiting_.clear();
        busy_.clear();
        starting_ = 0;
    }
    mutex_.unlock();
}

QString Pool::program()
{
    const QMutexLocker lock(&programMutex_);
    if (program_.isEmpty())
        program_ = defaultDecoderProgram();
    return program_;
}

QStringList Pool::arguments()
{
    const QMutexLocker lock(&programMutex_);
    return arguments_;
}

void Pool::setProgram(const QString &path, const QStringList &arguments)
{
    {
        const QMutexLocker lock(&programMutex_);
        program_ = path;
        arguments_ = arguments;
    }
    // Decoders of the program before are not handed a picture.
    QList<Worker> waiting;
    {
        const QMutexLocker lock(&mutex_);
        waiting.swap(waiting_);
        for (const Worker &worker : std::as_const(waiting))
            killWorker(worker);
    }
    for (const Worker &worker : std::as_const(waiting))
        releaseWorker(worker);
    endStarting();
}

Pool::Pool()
    : size_(qBound(1, QThread::idealThreadCount(), 8))  // as many as the thumbnail pool has threads
{
    starter_.setMaxThreadCount(decodersAhead());
    atEnd([this](QDeadlineTimer) { return endAll(); });
}

} // namespace rt::decoding
