#include "PaintWatch.h"

#include "Measure.h"

#include "runtime/forms/Twips.h"
#include "thumbs/CellGrid.h"

#include <QCoreApplication>
#include <QPaintEvent>

CellPaintWatch::CellPaintWatch(qint64 startNs) : startNs_(startNs)
{
    QCoreApplication::instance()->installEventFilter(this);
}

CellPaintWatch::~CellPaintWatch() { QCoreApplication::instance()->removeEventFilter(this); }

bool CellPaintWatch::eventFilter(QObject *watched, QEvent *event)
{
    auto *grid = event->type() == QEvent::Paint ? qobject_cast<CellGrid *>(watched) : nullptr;
    if (!grid)
        return false;
    const QSize size = grid->imageSize();
    const auto imageRect = [&](const Cell &cell) {
        return rt::twipsRect(cell.imageAt.x(), cell.imageAt.y(), size.width(), size.height());
    };
    if (!screenKnown_) {
        screenKnown_ = true;
        const QRect view = grid->visibleRegion().boundingRect();
        for (qint64 k = 0; k < grid->count(); ++k) {
            if (imageRect(grid->at(k)).intersects(view))
                waiting_.push_back(k);
        }
    }
    const QRect dirty = static_cast<QPaintEvent *>(event)->rect();
    std::erase_if(waiting_, [&](qint64 k) {
        const Cell &cell = grid->at(k);
        const bool painted = !cell.picture.isEmpty() && imageRect(cell).intersects(dirty);
        if (painted && firstCellMs < 0)
            firstCellMs = bench::elapsedMs(startNs_);
        return painted || (cell.picture.isEmpty() && !cell.pictureAwaited);
    });
    if (waiting_.empty() && firstScreenMs < 0)
        firstScreenMs = bench::elapsedMs(startNs_);
    return false;
}
