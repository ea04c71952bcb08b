#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

// Work that waits on the file system runs here, never on the interface
// thread: listing folders, looking at files, opening, reading and decoding
// pictures, copying and deleting. A network mount may answer slowly or never,
// and a call stuck in the kernel can be neither cancelled nor joined. So jobs
// run in one lane per volume (the mount point or drive a path lies on, told
// from the mount table without asking the volume): a lane runs a few jobs at
// once, but while one of them has gone unanswered for kStalledMs it starts no
// other, so a dead mount holds a few threads at most and other volumes go on.
// Threads are never joined: the end leaves a stuck one behind, and a result
// that comes after the end is dropped.
namespace rt::jobs {

// A job that has not answered for this long holds its lane's queue.
constexpr int kStalledMs = 1000;
// Jobs a lane runs at once while none of them is stalled.
constexpr int kLaneThreads = 3;

// Runs `job` in the lane of `path`'s volume. Thread-safe. After the end, and
// for a path with no volume, it runs nowhere.
void enqueue(const QString &path, std::function<void()> job);

// Runs `task` on the interface thread, unless `receiver` (an object of that
// thread, taken there) has been destroyed by then or the program is ending.
// Thread-safe.
void post(QPointer<QObject> receiver, std::function<void()> task);

// Runs `work` in the lane of `path`'s volume, then `done(result)` on
// the interface thread, unless `receiver` has been destroyed meanwhile.
// Called on the interface thread.
template <typename Work, typename Done>
void run(const QString &path, QObject *receiver, Work work, Done done)
{
    QPointer<QObject> guard(receiver);
    enqueue(path, [guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = std::make_shared<decltype(work())>(work());
        post(guard, [done = std::move(done), result]() mutable { done(std::move(*result)); });
    });
}

// Whether a job of `path`'s volume has gone unanswered for kStalledMs.
bool isStalled(const QString &path);

// A long job that keeps getting answers (a copy, a listing) says so between
// its calls, so that its lane is not taken as stalled.
void answered();

// Jobs queued or running in every lane (tests wait on it).
int pending();

// Lets tests hold a job as a slow or dead file system would: `gate`, when set,
// runs in the lane with the job's path before each job queued after the call.
void setGate(std::function<void(const QString &path)> gate);

}  // namespace rt::jobs

namespace rt {

// The newest request wins: each request for one target takes a ticket, and
// its result is used only while that ticket is still the target's newest.
class Latest
{
public:
    quint64 next() { return ++newest_; }
    bool isNewest(quint64 ticket) const { return ticket == newest_; }
    void drop() { ++newest_; }  // every request so far is stale

private:
    quint64 newest_ = 0;
};

}  // namespace rt
