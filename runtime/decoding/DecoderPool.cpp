#include "runtime/decoding/DecoderPool.h"

#include "runtime/services/DecodeThreads.h"
#include "runtime/services/Ending.h"
#include "runtime/services/Program.h"

#include <QThread>

namespace rt::decoding {

namespace {

bool same(const Worker &a, const Worker &b) { return a.pid == b.pid && a.process == b.process; }

}  // namespace

DecoderPool &DecoderPool::instance()
{
    static DecoderPool pool;
    return pool;
}

Worker DecoderPool::take()
{
    QMutexLocker lock(&mutex_);
    for (;;) {
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
        const int era = era_;
        ++starting_;
        lock.unlock();
        const Worker worker = startOne();
        lock.relock();
        --starting_;
        changed_.wakeAll();
        if (worker.pid < 0)
            return worker;
        if (era == era_) {
            busy_.append(worker);
            return worker;
        }
        drop(worker, lock);
    }
}

void DecoderPool::finish(const Worker &worker)
{
    {
        const QMutexLocker lock(&mutex_);
        busy_.removeIf([&](const Worker &busy) { return same(busy, worker); });
        killWorker(worker);
        changed_.wakeOne();
    }
    releaseWorker(worker);
}

void DecoderPool::prepare()
{
    const QMutexLocker lock(&mutex_);
    if (waiting_.size() + starting_ >= decodersAhead() || ending::now())
        return;
    ++starting_;
    // Off the decoding threads: a start may take long (a new process on Windows).
    starter_.start([this, era = era_] { startWaiting(era); });
}

void DecoderPool::startWaiting(int era)
{
    const Worker worker = startOne();
    QMutexLocker lock(&mutex_);
    --starting_;
    changed_.wakeAll();
    if (worker.pid < 0)
        return;
    if (era == era_ && !ending::now())
        waiting_.append(worker);
    else
        drop(worker, lock);
}

// A decoder started for an era that ended meanwhile (endAll(), setProgram())
// dies with the server that forked it, or is of the program before: killed now.
void DecoderPool::drop(const Worker &worker, QMutexLocker<QMutex> &lock)
{
    killWorker(worker);
    lock.unlock();
    releaseWorker(worker);
    lock.relock();
}

void DecoderPool::fill()
{
    for (int i = 0; i < decodersAhead(); ++i)
        prepare();
}

Worker DecoderPool::startOne() { return startWorker(program(), arguments()); }

bool DecoderPool::endAll()
{
    QList<Worker> waiting;
    {
        const QMutexLocker lock(&mutex_);
        ++era_;
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

void DecoderPool::prepareFork() { mutex_.lock(); }

void DecoderPool::afterFork(bool child)
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

QString DecoderPool::program()
{
    const QMutexLocker lock(&programMutex_);
    if (program_.isEmpty())
        program_ = defaultDecoderProgram();
    return program_;
}

QStringList DecoderPool::arguments()
{
    const QMutexLocker lock(&programMutex_);
    return arguments_;
}

void DecoderPool::setProgram(const QString &path, const QStringList &arguments)
{
    {
        const QMutexLocker lock(&programMutex_);
        if (program_ == path && arguments_ == arguments)
            return;
        program_ = path;
        arguments_ = arguments;
    }
    // Decoders of the program before are not handed a picture.
    QList<Worker> waiting;
    {
        const QMutexLocker lock(&mutex_);
        ++era_;
        waiting.swap(waiting_);
        for (const Worker &worker : std::as_const(waiting))
            killWorker(worker);
    }
    for (const Worker &worker : std::as_const(waiting))
        releaseWorker(worker);
    endStarting();
}

DecoderPool::DecoderPool() : size_(decodeThreads())
{
    starter_.setMaxThreadCount(decodersAhead());
    atEnd([this](QDeadlineTimer) { return endAll(); });
}

}  // namespace rt::decoding
