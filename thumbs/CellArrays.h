#pragma once

#include "runtime/pictures/Picture.h"

#include <QString>

class CellGrid;

// Label1(k), Image1(k) and Text1(k) of the list window: element k of each
// control array, read and written by index the way the handlers use them.
// Naming an element that was never loaded throws RuntimeError. Positions are
// in twips.

class CellLabel
{
public:
    CellLabel(CellGrid *grid, qint64 index);
    QString caption() const;
    void setCaption(const QString &caption);
    int left() const;
    void setLeft(int left);
    int top() const;
    void setTop(int top);
    bool visible() const;
    void setVisible(bool visible);

private:
    CellGrid *grid_;
    qint64 index_;
};

class CellImage
{
public:
    CellImage(CellGrid *grid, qint64 index);
    const rt::Picture &picture() const;
    void setPicture(const rt::Picture &picture);
    int left() const;
    void setLeft(int left);
    int top() const;
    void setTop(int top);
    bool visible() const;
    void setVisible(bool visible);
    int borderStyle() const;  // 0 none, 1 single line
    void setBorderStyle(int style);

private:
    CellGrid *grid_;
    qint64 index_;
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
