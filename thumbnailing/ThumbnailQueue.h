#pragma once

#include "runtime/pictures/Picture.h"
#include "thumbnailing/ThumbnailMaker.h"

#include <QObject>
#include <QSize>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// The cells a view shows, by index, first to last.
struct CellSpan
{
    qint64 first = 0;
    qint64 last = -1;
    bool operator==(const CellSpan &) const = default;
};

// Decodes the thumbnails of one list in the background, on every core, in the
// order the user needs them: the cells in view first, then outwards from the
// view, further ahead in the direction it last moved. The next file is chosen
// only when a decode finishes, from the view as it is then, so scrolling
// reorders the work at no cost. The pool is handed two decodes per thread at a
// time, or more when decodes are quick (thumbnails the shared cache
// remembers): as many as keep its threads busy for a few milliseconds while
// this thread is away. Thumbnails already in the ThumbnailCache are not
// decoded again; that too is asked on the pool, as a file's key asks the file
// system, which this thread never waits on.
//
// Results come back on the user-interface thread, all that are in at once, as
// cell index, path and picture (the empty picture when the file cannot be
// shown). cancel(), and destruction, drop the queued work at once without
// waiting: a decode still running finishes on its own and its result is
// dropped.
class ThumbnailQueue : public QObject
{
    Q_OBJECT
public:
    using Deliver = std::function<void(qint64 index, const QString &path, const rt::Picture &picture)>;
    using Maker = std::function<Thumbnail(const QString &path, QSize shown)>;
    // What a cell shows of a made thumbnail, at `shown`: run once on the
    // decoding thread, so that the cells only copy what they get.
    using Shape = std::function<QImage(const QImage &made, QSize shown)>;

    using PathOf = std::function<QString(qint64 index)>;
    // `shown`: the thumbnail size in device pixels; `view`: the cells in view
    // now; `pathOf`: a cell's file, asked when its thumbnail is to be made.
    ThumbnailQueue(QSize shown, Shape shape, std::function<CellSpan()> view, PathOf pathOf, Deliver deliver,
                   QObject *parent);
    ~ThumbnailQueue() override;

    // Starts on the files of the cells after those it has, up to `count`
    // cells in all, in cell order; the cells exist. Called again as a list grows.
    void start(qint64 count);
    void cancel();
    // Cell `index` gave its picture up: it is made again when the cell is in view.
    void drop(qint64 index);
    // The view has moved: the next decodes follow it.
    void viewMoved();
    // A list keeps the pictures of at most `cells` cells: those farther from
    // the view than that, or than a few views' worth, are only looked up in
    // the shared cache, and one it remembers is counted as made and made once
    // it comes that near. Reading an entry back takes a fraction of a
    // millisecond. All cells are made when this is not set.
    void setPictureReach(qint64 cells) { pictureReach_ = cells; }

    qint64 total() const { return qint64(cells_.size()); }
    qint64 finished() const { return finished_; }
    bool isDone() const { return finished_ == total(); }

    // Joins the end of all thumbnail work to the program's end; called once
    // at start-up. Decodes not begun never begin, and none is waited for.
    static void endWithProgram();

    // Files decoded since the program started; tests tell cache hits by it.
    static int decodeCount() { return decodes_; }
    // What decodes a file; tests slow it down or watch its order. An empty
    // function restores makeThumbnail.
    static void setMaker(Maker maker);

signals:
    void progressed(qint64 finished, qint64 total);

private:
    // Dropped: the list gave its picture up. Remembered: not made, as the
    // shared cache has it.
    enum class State : quint8 { Waiting, Running, Finished, Dropped, Remembered };
    struct Entry
    {
        State state = State::Waiting;
        bool counted = false;  // in finished_: made at least once
    };
    struct Link;    // what a running decode may still reach of the queue
    struct Result;  // a decode's, waiting for this thread

    void fill();
    int mostHandedOut() const;  // decodes the pool may be handed at a time now
    qint64 next();
    qint64 reach() const;  // how far from the view cells are made
    qint64 fromView(qint64 index) const { return qMax(lastView_.first - index, index - lastView_.last); }
    void resetCursors(CellSpan view);
    void submit(qint64 index);
    void takeResults();
    void record(const Result &result);

    const QSize shown_;
    Shape shape_;
    std::function<CellSpan()> view_;
    PathOf pathOf_;
    Deliver deliver_;
    std::shared_ptr<Link> link_;
    std::vector<Entry> cells_;
    qint64 finished_ = 0;
    bool cancelled_ = false;
    int running_ = 0;
    qint64 decodeNs_;  // how long a decode takes of late, on average
    qint64 pictureReach_ = -1;

    // Where the search for the next file stands; reset whenever the view moves.
    CellSpan lastView_;
    bool forward_ = true;  // the view last moved towards later cells
    qint64 visibleCursor_ = 0, aheadCursor_ = 0, behindCursor_ = 0;

    static inline std::atomic<int> decodes_{0};
};
