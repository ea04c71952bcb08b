#pragma once

#include "runtime/decoding/SharedMemory.h"
#include "runtime/decoding/WorkerProtocol.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

// A decoder process as the program sees it, and what starting, asking and
// ending one takes on each system (WorkerProcessLinux.cpp: forked by the
// fork server; WorkerProcessWindows.cpp: started on its own, in a job).
namespace rt::decoding {

struct Worker
{
    qint64 pid = -1;                            // -1: none could be started
    qintptr process = -1;                       // a descriptor of the process (Linux) or its handle
    qintptr job = 0;                            // Windows: the job it runs alone in
    Channel requests = kNone, replies = kNone;  // one socket on Linux
    bool ready = false;                         // Windows: its start-up message has been read
    qint64 mostAllowed = 0;                     // Windows: the highest memory limit it has had
};

QString defaultDecoderProgram();
// How many decoders wait ahead of need: what a start costs decides.
int decodersAhead();
// A decoder waiting for its one picture; pid -1 when none can be started.
Worker startWorker(const QString &program, const QStringList &arguments);
bool workerGone(const Worker &worker);  // its end of the channel has closed
void killWorker(const Worker &worker);  // only while the pool still counts it
// Whether it has ended within `deadline`; only while the pool still counts it.
bool waitWorkerGone(const Worker &worker, QDeadlineTimer deadline);
void releaseWorker(const Worker &worker);  // closes what the program holds of it, once killed
// Ends whatever starts decoders (the fork server), as the program ends.
void endStarting();
// Whether the decoder has ever held more than it was allowed: where the
// system does not hold it to its limit (Wine's jobs), it is found out
// afterwards. Linux's limits hold: never.
bool passedItsLimit(const Worker &worker);

// Says once, on standard error, what confinement decoders go without
// (`missing`: unconfinedText()); nothing when it is empty.
void reportMissing(const QString &missing);

// The handle of the open file `descriptor`, as a decoder is passed it.
Passed fileHandle(int descriptor);

// One picture asked of a decoder, under one deadline from the send to the
// answer (on Windows a timer that ends the decoder's job at the deadline).
class Call
{
public:
    Call(Worker &worker, QDeadlineTimer deadline);
    ~Call();
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;

    // Sends the request with the picture (a file, or shared memory of
    // request.length bytes) and the buffer the answer goes in.
    bool send(const Request &request, Passed picture, const PixelBuffer &buffer);
    // Waits for the answer until the deadline.
    enum Outcome { Answered, Stopped, TimedOut };
    Outcome await(Reply &reply);

private:
    Worker &worker_;
    QDeadlineTimer deadline_;
    void *watch_ = nullptr;  // Windows: the deadline's timer
};

}  // namespace rt::decoding
