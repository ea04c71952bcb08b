#include "thumbs/CellArrays.h"

#include "thumbs/CellGrid.h"

// Constructing an element checks that it exists, so that a missing one fails
// before anything is read or written.

CellPlaced::CellPlaced(CellGrid *grid, qint64 index, QPoint Cell::*at, bool Cell::*shown)
    : grid_(grid), index_(index), at_(at), shown_(shown)
{
    grid->at(index);
}

int CellPlaced::left() const { return (grid_->at(index_).*at_).x(); }
int CellPlaced::top() const { return (grid_->at(index_).*at_).y(); }
bool CellPlaced::visible() const { return grid_->at(index_).*shown_; }

void CellPlaced::setLeft(int left)
{
    grid_->change(index_, [&](Cell &cell) { (cell.*at_).setX(left); });
}

void CellPlaced::setTop(int top)
{
    grid_->change(index_, [&](Cell &cell) { (cell.*at_).setY(top); });
}

void CellPlaced::setVisible(bool visible)
{
    grid_->change(index_, [&](Cell &cell) { cell.*shown_ = visible; });
}

CellLabel::CellLabel(CellGrid *grid, qint64 index) : CellPlaced(grid, index, &Cell::labelAt, &Cell::labelVisible) {}
QString CellLabel::caption() const { return grid_->caption(index_); }
void CellLabel::setCaption(const QString &caption) { grid_->setCaption(index_, caption); }

CellImage::CellImage(CellGrid *grid, qint64 index) : CellPlaced(grid, index, &Cell::imageAt, &Cell::imageVisible) {}
const rt::Picture &CellImage::picture() const { return grid_->at(index_).picture; }
int CellImage::borderStyle() const { return grid_->at(index_).borderStyle; }

void CellImage::setPicture(const rt::Picture &picture)
{
    // A picture set here wins over a thumbnail still being decoded.
    grid_->change(index_, [&](Cell &cell) {
        cell.picture = picture;
        cell.pictureAwaited = false;
    });
}

void CellImage::setBorderStyle(int style)
{
    grid_->change(index_, [&](Cell &cell) { cell.borderStyle = style; });
}

CellText::CellText(CellGrid *grid, qint64 index) : grid_(grid), index_(index) { grid->at(index); }
QString CellText::text() const { return grid_->path(index_); }
void CellText::setText(const QString &text) { grid_->setPath(index_, text); }
