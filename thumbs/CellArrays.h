#pragma once

#include "runtime/pictures/Picture.h"

#include <QPoint>
#include <QString>

class CellGrid;
struct Cell;

// Label1(k), Image1(k) and Text1(k) of the list window: element k of each
// control array, read and written by index the way the handlers use them.
// Naming an element that was never loaded throws RuntimeError. Positions are
// in twips.

// What a cell's label and image share: a place and whether it is shown, each
// kept in the cell's own fields for that element.
class CellPlaced
{
public:
    int left() const;
    void setLeft(int left);
    int top() const;
    void setTop(int top);
    bool visible() const;
    void setVisible(bool visible);

protected:
    CellPlaced(CellGrid *grid, qint64 index, QPoint Cell::*at, bool Cell::*shown);
    CellGrid *grid_;
    qint64 index_;

private:
    QPoint Cell::*at_;
    bool Cell::*shown_;
};

class CellLabel : public CellPlaced
{
public:
    CellLabel(CellGrid *grid, qint64 index);
    QString caption() const;
    void setCaption(const QString &caption);
};

class CellImage : public CellPlaced
{
public:
    CellImage(CellGrid *grid, qint64 index);
    const rt::Picture &picture() const;
    void setPicture(const rt::Picture &picture);
    int borderStyle() const;  // 0 none, 1 single line
    void setBorderStyle(int style);
};

// The hidden text box of a cell: it holds the full path of the cell's file
// and stays hidden at element 0's place.
class CellText
{
public:
    CellText(CellGrid *grid, qint64 index);
    QString text() const;
    void setText(const QString &text);
    bool visible() const { return false; }

private:
    CellGrid *grid_;
    qint64 index_;
};
