#include "thumbnailing/ThumbnailQueue.h"

#include "runtime/services/DecodeThreads.h"
#include "runtime/services/Program.h"
#include "thumbnailing/CacheWriter.h"
#include "thumbnailing/SharedThumbnails.h"
#include "thumbnailing/ThumbnailCache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QThreadPool>

#include <limits>

struct ThumbnailQueue::Result
{
    qint64 index;
    QString path, cacheKey;
    Thumbnail thumbnail;
    qint64 ns;                // how long it took to make
    bool remembered = false;  // not made: the shared cache has it
};

struct ThumbnailQueue::Link
{
    QMutex mutex;
    ThumbnailQueue *queue;        // null once the queue is cancelled or gone
    std::vector<Result> results;  // in, and not yet taken by the queue
};

namespace {

// How long the pool's threads are to have work handed out to them when
// decodes are quick: this thread, which hands it out, may be away that long,
// painting or waiting for a core.
constexpr qint64 kAheadNs = 8'000'000;
// At most, so that a view that moves has the threads again within a few
// milliseconds: the pool's queue keeps its order.
constexpr qint64 kMostPerThread = 32;
// Views' worth of cells made ahead and behind the view where the shared cache
// remembers them; a view that moves further waits for the few milliseconds
// its own take.
constexpr qint64 kViewsNear = 4;

// One pool for every list, living as long as the application: a closed list
// never waits for the decodes it started.
QThreadPool &pool()
{
    static QThreadPool *pool = [] {
        auto *created = new QThreadPool(QCoreApplication::instance());
        created->setMaxThreadCount(rt::decodeThreads());
        return created;
    }();
    return *pool;
}

ThumbnailQueue::Maker &currentMaker()
{
    static ThumbnailQueue::Maker maker = makeThumbnail;
    return maker;
}

}  // namespace

void ThumbnailQueue::endWithProgram()
{
    // Decodes handed to the pool but not begun see the end as they begin, and
    // return at once. One inside a decoder runs on, and what it makes is
    // stored nowhere; the pool, which waits for it when destroyed, must not be.
    rt::atEnd([](QDeadlineTimer deadline) { return cachewriter::end(deadline) && pool().activeThreadCount() == 0; });
}

void ThumbnailQueue::setMaker(Maker maker) { currentMaker() = maker ? std::move(maker) : Maker(makeThumbnail); }

ThumbnailQueue::ThumbnailQueue(QSize shown, Shape shape, std::function<CellSpan()> view, PathOf pathOf, Deliver deliver,
                               QObject *parent)
    : QObject(parent)
    , shown_(shown)
    , shape_(std::move(shape))
    , view_(std::move(view))
    , pathOf_(std::move(pathOf))
    , deliver_(std::move(deliver))
    , link_(std::make_shared<Link>())
    , decodeNs_(kAheadNs / 2)  // two a thread, until decodes are seen to be quicker
{
    link_->queue = this;
    SharedThumbnail::checkFoldersAgain();
}

ThumbnailQueue::~ThumbnailQueue() { cancel(); }

void ThumbnailQueue::start(qint64 count)
{
    if (count > total())
        cells_.resize(size_t(count));
    fill();
}

// Two a thread at least, so that a thread never waits for this one to hand it
// the next; as many as keep it busy for kAheadNs when decodes are quicker
// (thumbnails the shared cache remembers).
int ThumbnailQueue::mostHandedOut() const
{
    return pool().maxThreadCount() * int(qBound<qint64>(2, kAheadNs / qMax<qint64>(1, decodeNs_), kMostPerThread));
}

void ThumbnailQueue::cancel()
{
    cancelled_ = true;
    {
        const QMutexLocker lock(&link_->mutex);
        link_->queue = nullptr;
        link_->results.clear();
    }
    // Drops the decodes not yet begun; they are this queue's, as only one list
    // is open at a time.
    if (running_ > 0)
        pool().clear();
    running_ = 0;
    cells_.clear();
    finished_ = 0;
}

void ThumbnailQueue::drop(qint64 index)
{
    if (index >= 0 && index < total() && cells_[size_t(index)].state == State::Finished)
        cells_[size_t(index)].state = State::Dropped;
}

void ThumbnailQueue::viewMoved() { fill(); }

void ThumbnailQueue::fill()
{
    while (!cancelled_ && running_ < mostHandedOut()) {
        const qint64 index = next();
        if (index < 0)
            return;
        submit(index);
    }
}

qint64 ThumbnailQueue::reach() const
{
    if (pictureReach_ < 0)
        return std::numeric_limits<qint64>::max();
    return qMin(pictureReach_, kViewsNear * (lastView_.last - lastView_.first + 1));
}

void ThumbnailQueue::resetCursors(CellSpan view)
{
    if (lastView_.last >= 0 && view.first != lastView_.first)
        forward_ = view.first > lastView_.first;
    lastView_ = view;
    visibleCursor_ = view.first;
    aheadCursor_ = forward_ ? view.last + 1 : view.first - 1;
    behindCursor_ = forward_ ? view.first - 1 : view.last + 1;
}

// The next file to decode: a waiting or dropped cell in view, else the
// nearest waiting one outside it, where "ahead" reaches twice as far as
// "behind". -1: none.
qint64 ThumbnailQueue::next()
{
    const qint64 n = total();
    if (n == 0)
        return -1;
    CellSpan view = view_();
    view.first = qBound<qint64>(0, view.first, n - 1);
    view.last = qBound<qint64>(view.first, view.last, n - 1);
    if (!(view == lastView_))
        resetCursors(view);
    const qint64 near = reach();
    const auto waiting = [&](qint64 k) {
        const State state = cells_[size_t(k)].state;
        return state == State::Waiting || (state == State::Remembered && fromView(k) <= near);
    };
    for (; visibleCursor_ <= view.last; ++visibleCursor_) {
        if (waiting(visibleCursor_) || cells_[size_t(visibleCursor_)].state == State::Dropped)
            return visibleCursor_++;
    }
    const qint64 step = forward_ ? 1 : -1;
    const auto inside = [&](qint64 k) { return k >= 0 && k < n; };
    while (inside(aheadCursor_) && !waiting(aheadCursor_))
        aheadCursor_ += step;
    while (inside(behindCursor_) && !waiting(behindCursor_))
        behindCursor_ -= step;
    const bool ahead = inside(aheadCursor_), behind = inside(behindCursor_);
    if (!ahead && !behind)
        return -1;
    const qint64 aheadDistance = forward_ ? aheadCursor_ - view.last : view.first - aheadCursor_;
    const qint64 behindDistance = forward_ ? view.first - behindCursor_ : behindCursor_ - view.last;
    if (ahead && (!behind || aheadDistance <= 2 * behindDistance)) {
        const qint64 chosen = aheadCursor_;
        aheadCursor_ += step;
        return chosen;
    }
    const qint64 chosen = behindCursor_;
    behindCursor_ -= step;
    return chosen;
}

void ThumbnailQueue::submit(qint64 index)
{
    Entry &entry = cells_[size_t(index)];
    entry.state = State::Running;
    ++running_;
    const bool wanted = fromView(index) <= reach();
    pool().start(
        [link = link_, path = pathOf_(index), shown = shown_, maker = currentMaker(), shape = shape_, index, wanted] {
            {
                const QMutexLocker lock(&link->mutex);
                if (!link->queue)
                    return;  // cancelled before it began
            }
            QElapsedTimer clock;
            clock.start();
            // Keyed before reading, so that a file changed meanwhile is read again next time.
            const QString key = ThumbnailCache::keyOf(path, shown);
            Thumbnail thumbnail;
            bool remembered = false;
            if (const auto kept = ThumbnailCache::shared().find(key)) {
                thumbnail = {kept->image, kept->fileSize};  // shaped when it was made
            } else if (!wanted && thumbnailRemembered(path, shown)) {
                remembered = true;  // inflated when it comes near: a list holds no picture this far out
            } else {
                ++decodes_;
                thumbnail = maker(path, shown);
                if (!thumbnail.image.isNull())
                    thumbnail.image = shape(thumbnail.image, shown);
            }
            const qint64 ns = clock.nsecsElapsed();
            const QMutexLocker lock(&link->mutex);
            if (ThumbnailQueue *queue = link->queue) {
                link->results.push_back({index, path, key, std::move(thumbnail), ns, remembered});
                if (link->results.size() == 1)  // the first in: those after it join it
                    QMetaObject::invokeMethod(queue, &ThumbnailQueue::takeResults, Qt::QueuedConnection);
            }
        });
}

// Every result in so far, on one wake-up of this thread.
void ThumbnailQueue::takeResults()
{
    std::vector<Result> results;
    {
        const QMutexLocker lock(&link_->mutex);
        results.swap(link_->results);
    }
    for (const Result &result : results) {
        if (cancelled_)
            return;  // posted just before the list was closed, or closed by a cell
        --running_;
        // One held up past kAheadNs (by the scheduler, say) weighs no more than that.
        decodeNs_ += (qMin(result.ns, kAheadNs) - decodeNs_) / 4;
        record(result);
    }
    fill();
}

void ThumbnailQueue::record(const Result &result)
{
    const qint64 index = result.index;
    Entry &entry = cells_[size_t(index)];
    if (result.remembered) {
        entry.state = State::Remembered;
        if (fromView(index) <= reach())  // the view came near meanwhile: the cursors may have passed it
            resetCursors(lastView_);
    } else {
        entry.state = State::Finished;
        const Thumbnail &thumbnail = result.thumbnail;
        rt::Picture picture;
        if (!thumbnail.image.isNull()) {
            ThumbnailCache::shared().insert(result.cacheKey, {thumbnail.image, thumbnail.fileSize});
            picture = rt::Picture(thumbnail.image, thumbnail.fileSize);
        }
        deliver_(index, result.path, picture);
    }
    if (!entry.counted) {
        entry.counted = true;
        ++finished_;
        emit progressed(finished_, total());
    }
}
