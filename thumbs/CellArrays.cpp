#include "thumbs/CellArrays.h"

#include "thumbs/CellGrid.h"

// Constructing an element checks that it exists, so that a missing one fails
// before anything is read or written.

CellLabel::CellLabel(CellGrid *grid, qint64 index) : grid_(grid), index_(index) { grid->at(index); }
QString CellLabel::caption() const { return grid_->at(index_).caption; }
int CellLabel::left() const { return grid_->at(index_).labelAt.x(); }
int CellLabel::top() const { return grid_->at(index_).labelAt.y(); }
bool CellLabel::visible() const { return grid_->at(index_).labelVisible; }

void CellLabel::setCaption(const QString &caption)
{
    grid_->change(index_, [&](Cell &cell) { cell.caption = caption; });
}

void CellLabel::setLeft(int left)
{
    grid_->change(index_, [&](Cell &cell) { cell.labelAt.setX(left); });
}

void CellLabel::setTop(int top)
{
    grid_->change(index_, [&](Cell &cell) { cell.labelAt.setY(top); });
}

void CellLabel::setVisible(bool visible)
{
    grid_->change(index_, [&](Cell &cell) { cell.labelVisible = visible; });
}

CellImage::CellImage(CellGrid *grid, qint64 index) : grid_(grid), index_(index) { grid->at(index); }
const rt::Picture &CellImage::picture() const { return grid_->at(index_).picture; }
int CellImage::left() const { return grid_->at(index_).imageAt.x(); }
int CellImage::top() const { return grid_->at(index_).imageAt.y(); }
bool CellImage::visible() const { return grid_->at(index_).imageVisible; }
int CellImage::borderStyle() const { return grid_->at(index_).borderStyle; }

void CellImage::setPicture(const rt::Picture &picture)
{
    // A picture set here wins over a thumbnail still being decoded.
    grid_->change(index_, [&](Cell &cell) {
        cell.picture = picture;
        cell.pictureAwaited = false;
        cell.pictureDropped = false;
    });
}

void CellImage::setLeft(int left)
{
    grid_->change(index_, [&](Cell &cell) { cell.imageAt.setX(left); });
}

void CellImage::setTop(int top)
{
    grid_->change(index_, [&](Cell &cell) { cell.imageAt.setY(top); });
}

void CellImage::setVisible(bool visible)
{
    grid_->change(index_, [&](Cell &cell) { cell.imageVisible = visible; });
}

void CellImage::setBorderStyle(int style)
{
    grid_->change(index_, [&](Cell &cell) { cell.borderStyle = style; });
}

CellText::CellText(CellGrid *grid, qint64 index) : grid_(grid), index_(index) { grid->at(index); }
QString CellText::text() const { return grid_->at(index_).path; }

void CellText::setText(const QString &text)
{
    grid_->change(index_, [&](Cell &cell) { cell.path = text; });
}
