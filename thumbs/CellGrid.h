#pragma once

#include "runtime/pictures/Picture.h"
#include "runtime/services/TextColumn.h"

#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

// Cell k of the thumbnail list: element k of the list window's control arrays
// Label1, Image1 and Text1. Positions are in twips; every element has the size
// of element 0. Its caption and path are kept by the grid, in one block each.
struct Cell
{
    QPoint labelAt;  // Label1(k).Left, .Top
    bool labelVisible = false;
    rt::Picture picture;  // Image1(k).Picture: a thumbnail decoded at its shown size
    // Takes the thumbnail delivered for it: from the build until the first one
    // comes, and again once it gave that up far from the view, until nothing
    // but a thumbnail has set its picture.
    bool pictureAwaited = false;
    QPoint imageAt;  // Image1(k).Left, .Top
    bool imageVisible = false;
    bool pathInFolder = false;  // the grid's path column holds the name in the grid's folder
    int borderStyle = 0;        // Image1(k).BorderStyle: 0 none, 1 single line
};

// All cells of the list window, drawn by one widget that paints only the
// cells in view: thousands of cells cost no widgets of their own. The images
// stretch their pictures; the labels show their captions cut off at the edge.
// One cell is current, the keyboard's: a dotted frame inside its image shows
// it while the grid has the keyboard focus (not while a menu holds it).
// Screen readers see every cell as an item of the grid (CellGridAccessible).
class CellGrid : public QWidget
{
    Q_OBJECT
public:
    // Element 0 of each array, in twips; element 0's label and image are visible.
    CellGrid(QWidget *parent, QRect label0, QRect image0, QRect text0);

    qint64 count() const { return qint64(cells_.size()); }
    void reserve(qint64 count) { cells_.reserve(size_t(count)); }
    // Creates element `index` (the next one) of all three arrays with element
    // 0's settings, hidden and empty.
    void load(qint64 index);
    // Throws RuntimeError when the arrays have no element `index`.
    const Cell &at(qint64 index) const;
    // Label1(index).Caption and Text1(index).Text, the file's full path.
    QString caption(qint64 index) const;
    void setCaption(qint64 index, const QString &caption);
    QString path(qint64 index) const;
    void setPath(qint64 index, const QString &path);
    // Names the file `name` of `folder` in cell `index`: its caption and path.
    void setFile(qint64 index, const QString &folder, const QString &name);
    bool hasPath(qint64 index, const QString &path) const;
    // Changes cell `index` and repaints what it covered before and after.
    template <class Edit>
    void change(qint64 index, Edit edit)
    {
        Cell &cell = element(index);
        updateCell(cell);
        edit(cell);
        updateCell(cell);
    }

    QSize labelSize() const { return label0_.size(); }
    QSize imageSize() const { return image0_.size(); }
    QPoint textAt() const { return text0_.topLeft(); }
    // The size an image shows its picture at, in device pixels: thumbnails are
    // decoded no larger.
    QSize shownSize() const;
    // A picture as an image shows it, stretched to `shown` (Image1's Stretch):
    // made so once, off the interface thread, so that painting only copies.
    static QImage shownPicture(const QImage &picture, QSize shown);
    // Cell `index`'s image, and its label and image together, in pixels.
    QRect imageRect(qint64 index) const { return imageRect(at(index)); }
    QRect cellRect(qint64 index) const { return labelRect(at(index)) | imageRect(at(index)); }
    // The cell under `position`, in pixels: the last one loaded there, or -1.
    int imageAt(QPoint position) const;

    qint64 current() const { return current_; }
    // Makes cell `index` current and tells screen readers when it has the focus.
    void setCurrent(qint64 index);

signals:
    // A button went down on Image1(index); button and shift as rt::ImageBox gives them.
    void MouseDown(int index, int button, int shift, QPoint position);
    void DblClick(int index);
    // A key went down while the grid had the focus: the Qt key and shift as MouseDown gives it.
    void KeyDown(int keyCode, int shift);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    Cell &element(qint64 index);
    QRect labelRect(const Cell &cell) const;  // in pixels
    QRect imageRect(const Cell &cell) const;
    void updateCell(const Cell &cell);
    void showFocus(bool shown);

    QRect label0_, image0_, text0_;
    std::vector<Cell> cells_;
    rt::TextColumn captions_;
    rt::TextColumn paths_;  // a name in folder_, or a whole path
    QString folder_;
    qint64 current_ = 0;
    bool focusShown_ = false;  // the keyboard is here, not in a menu opened over it
};
