// The list window from the keyboard. The arrows, Page Up/Down, Home and End
// move the current cell and scroll it into view; the scroll bar moving tells
// the thumbnail queue and the picture budget, as the wheel does. A command
// key sets cellNo to the current cell, as a press does, and runs the mouse's
// own handler; the cell commands' keys are in their table (ListCommands.cpp).
// Each key costs the same whatever the number of cells.
#include "runtime/forms/Twips.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/ListGeometry.h"
#include "thumbs/MDIForm1.h"

#include <QScrollArea>

using listgeometry::kColumns;
using listgeometry::kRowPitch;

void Form10::cells_KeyDown(int KeyCode, int Shift)
{
    const qint64 k = cells->current();
    const QRect image = cells->imageRect(k);
    if (KeyCode == Qt::Key_Menu || (KeyCode == Qt::Key_F10 && Shift == 1)) {
        Image1_MouseDown(int(k), 2, 0, QPoint(image.width() / 2, image.height() / 2));
    } else if (KeyCode == Qt::Key_Return || KeyCode == Qt::Key_Enter) {
        cellNo = int(k);
        Image1_DblClick(int(k));
    } else if (!runCommandKey(k, KeyCode)) {
        if (const qint64 next = cellAfterKey(k, KeyCode); next >= 0)
            makeCurrent(next);
    }
}

// Left and Right go on across rows; Up and Down keep the column, stopping at
// the first row, and Down past a short last row ends on the last cell. A page
// is the rows the view shows whole.
qint64 Form10::cellAfterKey(qint64 k, int keyCode) const
{
    const qint64 last = cells->count() - 1;
    const MDIForm1 *frame = Form::ifLoaded<MDIForm1>();
    const qint64 page = frame ? qMax(1, rt::twips(frame->workspace->viewport()->height()) / kRowPitch) : 1;
    const qint64 rows = keyCode == Qt::Key_PageUp || keyCode == Qt::Key_PageDown ? page : 1;
    switch (keyCode) {
    case Qt::Key_Left:
        return qMax<qint64>(k - 1, 0);
    case Qt::Key_Right:
        return qMin(k + 1, last);
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        return qMax(k - rows * kColumns, k % kColumns);
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        return qMin(k + rows * kColumns, last);
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return last;
    default:
        return -1;  // not a key that moves
    }
}

void Form10::makeCurrent(qint64 k)
{
    cells->setCurrent(k);
    if (const MDIForm1 *frame = Form::ifLoaded<MDIForm1>()) {
        const QRect cell = cells->cellRect(k).translated(cells->mapTo(this, QPoint(0, 0)));
        frame->workspace->ensureVisible(cell.center().x(), cell.center().y(), cell.width() / 2, cell.height() / 2);
    }
}
