#include "runtime/decoding/DecoderPool.h"

#include "runtime/services/Program.h"

#include <QThread>

namespace rt::decoding {

namespace {

bool same(const Worker &a, const Worker &b)
{
    return a.pid == b.pid;
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
    for (;;) {
        while (!idle_.isEmpty()) {
            // The one used last, its memory still at hand; else the one started first.
            qsizetype pick = 0;
            for (qsizetype i = idle_.size(); i-- > 0 && pick == 0;)
                pick = idle_[i].ready ? i : 0;
            const Worker worker = idle_.takeAt(pick);
            if (workerGone(worker)) {  // killed while idle: not handed a picture it would seem to refuse
                killWorker(worker);
                --live_;
                releaseWorker(worker);
                continue;
            }
            busy_.append(worker);
            return worker;
        }
        if (live_ < size_)
            break;
        changed_.wait(&mutex_);
    }
    const Worker worker = startOne(lock);
    if (worker.pid < 0)
        changed_.wakeOne();
    else
        busy_.append(worker);
    return worker;
}

Worker Pool::startOne(QMutexLocker<QMutex> &lock)
{
    ++live_;
    lock.unlock();
    const Worker worker = startWorker(program());
    lock.relock();
    if (worker.pid < 0)
        --live_;
    return worker;
}

void Pool::giveBack(const Worker &worker)
{
    const QMutexLocker lock(&mutex_);
    busy_.removeIf([&](const Worker &busy) { return same(busy, worker); });
    idle_.append(worker);
    changed_.wakeOne();
}

void Pool::discard(const Worker &worker)
{
    {
        const QMutexLocker lock(&mutex_);
        busy_.removeIf([&](const Worker &busy) { return same(busy, worker); });
        killWorker(worker);
        --live_;
    }
    releaseWorker(worker);
    fill();
}

void Pool::fill()
{
    QMutexLocker lock(&mutex_);
    while (live_ < size_) {
        const Worker worker = startOne(lock);
        if (worker.pid < 0)
            break;
        idle_.append(worker);
        changed_.wakeOne();
    }
}

bool Pool::endAll()
{
    QList<Worker> idle;
    {
        const QMutexLocker lock(&mutex_);
        idle.swap(idle_);
        live_ -= int(idle.size());
        for (const Worker &worker : std::as_const(idle))
            killWorker(worker);
        for (const Worker &worker : std::as_const(busy_))
            killWorker(worker);
    }
    for (const Worker &worker : std::as_const(idle))
        releaseWorker(worker);
    return true;
}

QString Pool::program()
{
    const QMutexLocker lock(&programMutex_);
    if (program_.isEmpty())
        program_ = defaultDecoderProgram();
    return program_;
}

void Pool::setProgram(const QString &path)
{
    const QMutexLocker lock(&programMutex_);
    program_ = path;
}

Pool::Pool()
    : size_(qBound(1, QThread::idealThreadCount(), 8))  // as many as the thumbnail pool has threads
{
    atEnd([this](QDeadlineTimer) { return endAll(); });
}

} // namespace rt::decoding
