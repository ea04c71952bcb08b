// The list window's side of its thumbnails: which cells are in view, and
// filling a cell when its thumbnail arrives.
#include "runtime/forms/Twips.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QScrollArea>
#include <QScrollBar>

void Form10::startThumbnails(MDIForm1 &frame, const QStringList &paths)
{
    thumbnails_ = new ThumbnailQueue(
        cells->shownSize(), [this] { return cellsInView(); },
        [this](qint64 k, const QString &path, const rt::Picture &picture) { thumbnailArrived(k, path, picture); }, this);
    connect(thumbnails_, &ThumbnailQueue::progressed, &frame, &MDIForm1::showProgress);
    connect(frame.workspace->verticalScrollBar(), &QScrollBar::valueChanged, thumbnails_, &ThumbnailQueue::viewMoved);
    thumbnails_->start(paths);
    frame.showProgress(thumbnails_->finished(), thumbnails_->total());
}

// The cells whose label or image the frame shows now, from the grid the build
// lays out: six to a row, row r's label at 120 (row 0) or 225 + 1335 r, its
// image ending at 1455 + 1335 r. The span may reach past the last cell, on a
// short last row or below it: the queue bounds it by the cells it has.
CellSpan Form10::cellsInView() const
{
    const MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
    if (!frame)
        return {};
    const QWidget *viewport = frame->workspace->viewport();
    const int top = rt::twips(cells->mapFrom(viewport, QPoint(0, 0)).y());
    const int bottom = top + rt::twips(viewport->height());
    const qint64 firstRow = top < 1455 ? 0 : (top - 1455) / 1335 + 1;
    const qint64 lastRow = bottom <= 225 ? 0 : (bottom - 225 - 1) / 1335;
    return {firstRow * 6, qMax(firstRow, lastRow) * 6 + 5};
}

// A cell takes its thumbnail only while it still waits for it, or for it
// again after giving it up: emptied by the delete dialog, it stays empty.
void Form10::thumbnailArrived(qint64 k, const QString &path, const rt::Picture &picture)
{
    if (k >= cells->count())
        return;
    const Cell &cell = cells->at(k);
    if (!(cell.pictureAwaited || cell.pictureDropped) || cell.path != path)
        return;
    cells->change(k, [&](Cell &changed) {
        changed.picture = picture;
        changed.pictureAwaited = changed.pictureDropped = false;
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
            cell.pictureDropped = true;
        });
        thumbnails_->drop(k);
    }
}
