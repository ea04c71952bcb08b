#pragma once

#include <QRect>
#include <QtGlobal>

// Where the list window puts its cells, in twips: element 0 of each control
// array as designed, and every later cell from the cells before it, six to a
// row. The build places the cells by it, the keys walk it and the thumbnail
// requests ask which cells the view shows from it.
namespace listgeometry {

constexpr QRect kLabel0(120, 120, 975, 255);  // Label1(0): caption empty
constexpr QRect kImage0(120, 480, 975, 975);  // Image1(0): stretches its picture, no border
constexpr QRect kText0(360, 840, 375, 270);   // Text1(0): hidden, text empty
constexpr int kWidth = 7650, kHeight = 7245;  // the list window's client area as designed

constexpr qint64 kColumns = 6;
constexpr int kColumnPitch = 1200;  // from one column's left to the next
constexpr int kRowPitch = 1335;     // from one row's image top to the next
// From an image's top to the top of the label below it (in row 0 the label
// keeps element 0's top), and to the window's bottom below the last row.
constexpr int kBelowImageTop = 1080;

// The tops of row r's label and the bottom of its image.
constexpr int labelTop(qint64 row)
{
    return row == 0 ? kLabel0.top() : int(kImage0.top() + (row - 1) * kRowPitch + kBelowImageTop);
}
constexpr int imageBottom(qint64 row) { return int(kImage0.top() + kImage0.height() + row * kRowPitch); }

}  // namespace listgeometry
