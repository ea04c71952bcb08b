#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <sys/types.h>

namespace rt::decoding {

// A decoder process and the program's end of its socket.
struct Worker
{
    pid_t pid = -1;
    int socket = -1;
    bool ready = false;  // its start-up message has been read
};

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

    QMutex mutex_;
    QWaitCondition changed_;
    QList<Worker> idle_;
    QList<pid_t> busy_;
    int live_ = 0;  // idle, busy and being started
    const int size_;
    QMutex programMutex_;
    QString program_;
};

} // namespace rt::decoding
