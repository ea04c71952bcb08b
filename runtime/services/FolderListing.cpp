#include "runtime/services/FolderListing.h"

#include "runtime/services/FileJobs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>

#include <memory>

namespace rt::listing {

namespace {

using platform::EntryKind;

// The first names show after a few hundred; later steps grow.
constexpr int kFirstStep = 256;
constexpr int kLargestStep = 4096;
// Names found after the first ones are handed together, this often.
constexpr int kHandEveryMs = 100;
// A listing of this many names gives the heap's free pages back when it ends.
constexpr int kTrimAfter = 10000;

using Hook = std::shared_ptr<const std::function<void(const QString &)>>;

struct Gate
{
    QMutex mutex;
    Hook hook;
};

Gate &gate()
{
    static Gate *instance = new Gate;  // never destroyed: a stuck worker may pass after main()
    return *instance;
}

void pass(const QString &folder)
{
    Hook hook;
    {
        const QMutexLocker lock(&gate().mutex);
        hook = gate().hook;
    }
    if (hook)
        (*hook)(folder);
    jobs::answered();
}

bool canEnter(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isExecutable() && QDir(folder).isReadable();
}

void read(const Request &request, const std::function<void(Step)> &handStep)
{
    const QDir folder(request.folder);
    QElapsedTimer sinceHanded;
    sinceHanded.start();
    const auto hand = [&](Step &step) {
        handStep(std::exchange(step, {}));
        sinceHanded.start();
    };
    // While entries are looked at one by one, what was found so far goes now
    // and then, if only to tell the pane that the folder still answers.
    const auto handNowAndThen = [&](Step &step) {
        if (sinceHanded.hasExpired(kHandEveryMs))
            hand(step);
    };
    Step step;
    pass(request.folder);
    if (request.check) {
        const bool refused = !canEnter(request.folder);
        step.refused = step.end = refused;
        step.entered = !refused;
        hand(step);
        if (refused)
            return;
    }
    platform::FolderReader reader(request.folder);
    QStringList unsure;
    bool handedNames = false;
    for (int most = kFirstStep;; most = qMin(most * 2, kLargestStep)) {
        pass(request.folder);
        const QList<platform::FolderReader::Entry> entries = reader.next(most);
        if (entries.isEmpty())
            break;
        for (const platform::FolderReader::Entry &entry : entries) {
            EntryKind kind = entry.kind;
            if (kind == EntryKind::Unsure && request.kind == EntryKind::Folder) {
                pass(request.folder);
                kind = platform::kindOf(folder.filePath(entry.name));
                handNowAndThen(step);
            }
            if ((kind != request.kind && kind != EntryKind::Unsure) || !request.accept(entry.name))
                continue;
            step.names.append(entry.name);
            if (kind == EntryKind::Unsure)
                unsure.append(entry.name);
        }
        // The first names go at once; later ones together while the folder
        // answers quickly, as inserting few big batches costs the pane less.
        if (!step.names.isEmpty() && (!handedNames || sinceHanded.hasExpired(kHandEveryMs)))
            hand(step), handedNames = true;
    }
    for (const QString &name : std::as_const(unsure)) {
        pass(request.folder);
        if (platform::kindOf(folder.filePath(name)) != request.kind)
            step.gone.append(name);
        handNowAndThen(step);
    }
    step.end = true;
    hand(step);
}

}  // namespace

void list(Request request, QObject *receiver, std::function<void(Step)> deliver)
{
    const QPointer<QObject> guard(receiver);
    auto shared = std::make_shared<std::function<void(Step)>>(std::move(deliver));
    auto handed = std::make_shared<qsizetype>(0);  // names delivered so far, on the receiver's thread
    const QString folder = request.folder;
    jobs::enqueue(folder, [request = std::move(request), guard, shared, handed] {
        read(request, [&](Step step) {
            jobs::post(guard, [shared, handed, step = std::move(step)]() mutable {
                const bool end = step.end;
                *handed += step.names.size();
                (*shared)(std::move(step));
                // The steps of a big folder leave the heap full of holes, in
                // the reading thread's arena too: given back once all are in.
                if (end && *handed >= kTrimAfter)
                    platform::releaseFreeMemory();
            });
        });
    });
}

void probe(const QString &folder, QObject *receiver, std::function<void()> answered)
{
    jobs::run(
        folder, receiver,
        [folder] {
            pass(folder);
            return QFileInfo(folder).exists();
        },
        [answered = std::move(answered)](bool) { answered(); });
}

void setGate(std::function<void(const QString &folder)> hook)
{
    const QMutexLocker lock(&gate().mutex);
    gate().hook = hook ? std::make_shared<const std::function<void(const QString &)>>(std::move(hook)) : nullptr;
}

}  // namespace rt::listing
