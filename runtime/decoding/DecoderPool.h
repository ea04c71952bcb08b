#pragma once

#include "runtime/decoding/WorkerProcess.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QWaitCondition>

namespace rt::decoding {

// The decoder processes. Each decodes one picture and is ended with its
// answer: none ever sees a second file. A few are started ahead of need and
// wait for their picture; one is started in the place of each one taken
// while that one decodes. No more than `size` decode at once. A decoder is
// killed only while the pool still counts it, so that a process is never
// signalled once what names it has been closed.
class DecoderPool
{
public:
    static DecoderPool &instance();

    // A decoder waiting for its picture (started now if none is), once fewer
    // than `size` decode; none (pid -1) when none can be started.
    Worker take();
    // Kills the decoder taken, whatever it did, and lets go of it.
    void finish(const Worker &worker);
    // Starts one more waiting decoder in the background unless enough wait
    // or are starting.
    void prepare();
    // Starts decoders until enough wait.
    void fill();
    // Kills every decoder at once: decodes running end with no picture.
    bool endAll();

    // Around a fork of the program (tests fork to decode apart): the child
    // forgets the parent's decoders, and starts its own.
    void prepareFork();
    void afterFork(bool child);

    QString program();
    QStringList arguments();
    void setProgram(const QString &path, const QStringList &arguments);

private:
    DecoderPool();
    Worker startOne();
    void startWaiting(int era);
    void drop(const Worker &worker, QMutexLocker<QMutex> &lock);

    QMutex mutex_;
    QWaitCondition changed_;
    QList<Worker> waiting_;
    QList<Worker> busy_;
    int starting_ = 0;  // in the background
    int era_ = 0;       // the decoders' server and program: a new one with each end and change
    const int size_;
    QThreadPool starter_;
    QMutex programMutex_;
    QString program_;
    QStringList arguments_;
};

}  // namespace rt::decoding
