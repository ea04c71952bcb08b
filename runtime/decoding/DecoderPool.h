#pragma once

#include "runtime/decoding/WorkerProtocol.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#ifndef Q_OS_WIN
#include <sys/types.h>
#endif

namespace rt::decoding {

// A decoder process and the program's end of its channel.
struct Worker
{
#ifdef Q_OS_WIN
    qint64 pid = -1;
    void *process = nullptr;  // HANDLEs
    void *job = nullptr;      // the decoder's alone: its memory limit is the picture's grant
    Channel requests = nullptr, replies = nullptr;
    qint64 mostAllowed = 0;   // the highest memory limit it has had
#else
    pid_t pid = -1;
    int socket = -1;
#endif
    bool ready = false;  // its start-up message has been read
};

// What starting and ending a decoder takes on each system
// (WorkerProcessPosix.cpp, WorkerProcessWindows.cpp).
QString defaultDecoderProgram();
Worker startWorker(const QString &program);  // pid -1 when it cannot be started
bool workerGone(const Worker &worker);       // its end of the channel has closed
void killWorker(const Worker &worker);       // only while the pool still counts it
void releaseWorker(const Worker &worker);    // closes the channel and reaps it, once killed or gone
#ifdef Q_OS_WIN
// Bounds the decoder's memory to what it holds now and `grant` more, for the next picture.
bool grantMemory(Worker &worker, qint64 grant);
#endif
// Whether the decoder has ever held more than it was allowed: where the
// system does not hold it to its limit (Wine's jobs), it is found out
// afterwards. Linux's limits hold: never.
bool passedItsLimit(const Worker &worker);

// The decoders, as many as the thumbnail pool has threads. Those a pool
// thread may wait for are all started, whichever thread started them; a
// decoder is busy from take() until it is given back or discarded, and killed
// only while the pool still counts it, so that a process id is never
// signalled once it has been reaped.
class Pool
{
public:
    static Pool &instance();

    // An idle decoder, a new one while the pool is not full, or the first one
    // given back; none (pid -1) when it cannot be started.
    Worker take();
    void giveBack(const Worker &worker);
    // Kills and reaps `worker`, and starts another in its place.
    void discard(const Worker &worker);
    // Starts decoders until the pool is full, and keeps them idle.
    void fill();
    // Kills every decoder at once: decodes running end with no picture.
    bool endAll();

    QString program();
    void setProgram(const QString &path);

private:
    Pool();
    // Starts one more decoder with `lock` (on mutex_) let go meanwhile; pid -1,
    // and no more counted, when it cannot be started.
    Worker startOne(QMutexLocker<QMutex> &lock);

    QMutex mutex_;
    QWaitCondition changed_;
    QList<Worker> idle_;
    QList<Worker> busy_;
    int live_ = 0;  // idle, busy and being started
    const int size_;
    QMutex programMutex_;
    QString program_;
};

} // namespace rt::decoding
