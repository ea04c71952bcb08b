// The list window's side of its thumbnails: which cells are in view, and
// filling a cell when its thumbnail arrives.
#include "runtime/forms/Twips.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/ListGeometry.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QScrollArea>
#include <QScrollBar>

void Form10::startThumbnails(MDIForm1 &frame)
{
    thumbnails_ = new ThumbnailQueue(
        cells->shownSize(), &CellGrid::shownPicture, [this] { return cellsInView(); },
        [this](qint64 k) { return cells->path(k); },
        [this](qint64 k, const QString &path, const rt::Picture &picture) { thumbnailArrived(k, path, picture); },
        this);
    // As many cells as the budget holds pictures of, at three bytes a pixel at
    // least: no cell nearer the view than that is left for later.
    const QSize shown = cells->shownSize();
    thumbnails_->setPictureReach(pictureBudget / qMax<qint64>(1, 3 * qint64(shown.width()) * shown.height()));
    connect(thumbnails_, &ThumbnailQueue::progressed, &frame, &MDIForm1::showProgress);
    connect(frame.workspace->verticalScrollBar(), &QScrollBar::valueChanged, thumbnails_, &ThumbnailQueue::viewMoved);
    thumbnails_->start(fileCount);
    frame.showProgress(thumbnails_->finished(), thumbnails_->total());
}

bool Form10::thumbnailsDone() const { return !thumbnails_ || thumbnails_->isDone(); }

// The cells whose label or image the frame shows now, from the grid the build
// lays out: the rows from the first whose image ends below the view's top to
// the last whose label starts above its bottom. The span may reach past the
// last cell, on a short last row or below it: the queue bounds it by the
// cells it has.
CellSpan Form10::cellsInView() const
{
    const MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
    if (!frame)
        return {};
    const QWidget *viewport = frame->workspace->viewport();
    const int top = rt::twips(cells->mapFrom(viewport, QPoint(0, 0)).y());
    const int bottom = top + rt::twips(viewport->height());
    using namespace listgeometry;
    const int firstImageEnd = imageBottom(0), labelBase = labelTop(1) - kRowPitch;  // row r's: + r × kRowPitch
    const qint64 firstRow = top < firstImageEnd ? 0 : (top - firstImageEnd) / kRowPitch + 1;
    const qint64 lastRow = bottom <= labelBase ? 0 : (bottom - labelBase - 1) / kRowPitch;
    return {firstRow * kColumns, (qMax(firstRow, lastRow) + 1) * kColumns - 1};
}

// A cell takes its thumbnail only while it awaits it, first or again after
// giving it up: emptied by the delete dialog, it stays empty.
void Form10::thumbnailArrived(qint64 k, const QString &path, const rt::Picture &picture)
{
    if (k >= cells->count())
        return;
    const Cell &cell = cells->at(k);
    if (!cell.pictureAwaited || !cells->hasPath(k, path))
        return;
    cells->change(k, [&](Cell &changed) {
        changed.picture = picture;
        changed.pictureAwaited = false;
    });
    if (!picture.isEmpty()) {
        heldPictures_.hold(k, picture.image().sizeInBytes());
        dropFarPictures();
    }
}

// Past the budget, the cells farthest from the view give their pictures up;
// the queue makes them again when they come back into view.
void Form10::dropFarPictures()
{
    for (const qint64 k : heldPictures_.overflow(cellsInView())) {
        if (cells->at(k).picture.isEmpty())
            continue;  // emptied by the delete dialog meanwhile: for good
        cells->change(k, [](Cell &cell) {
            cell.picture = {};
            cell.pictureAwaited = true;
        });
        thumbnails_->drop(k);
    }
}
