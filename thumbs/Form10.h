#pragma once

#include "runtime/forms/Form.h"
#include "thumbs/CellArrays.h"
#include "thumbs/PictureBudget.h"

#include <functional>

class CellGrid;
class MDIForm1;
namespace rt {
class Picture;
}
class QAction;
class QMenu;

// The thumbnail list window, inside its frame MDIForm1: one cell per entry of
// the main window's file list, six to a row, each the file's name above its
// stretched picture. The cells are built once, when the window loads
// (Form_Load), and are then only ever emptied, never moved or renumbered.
//
// Cell k is element k of three control arrays, used by index:
//   Label1(k).caption()   the file's name                (also left, top, visible)
//   Image1(k).picture()   its thumbnail, empty if none   (also left, top, visible, borderStyle)
//   Text1(k).text()       its full path; never shown
// Naming a cell that does not exist throws RuntimeError.
class Form10 : public rt::Form
{
    Q_OBJECT
public:
    Form10();

    CellLabel Label1(qint64 k) { return CellLabel(cells, k); }
    CellImage Image1(qint64 k) { return CellImage(cells, k); }
    CellText Text1(qint64 k) { return CellText(cells, k); }
    CellGrid *cells;  // draws every cell and reports presses on the images

    // The cell menu, shown only at the pointer, over a pressed cell; its items
    // are the rows of the cell commands' table (ListCommands.cpp).
    QMenu *popup;
    // The cell menu's item of that caption; null if none.
    QAction *menuItem(const QString &caption) const;

    int fileCount = 0;  // the file list's ListCount when the build began (up to int's range)
    int cellNo = 0;     // the cell last pressed with any mouse button, or last given a key command
    QString cellPath;   // the full path of the cell being built

    // Shows the list in its frame and brings the frame to the front.
    void showModeless();
    // Closes the list with its frame; asked during the build, once it ends.
    void unloadWithFrame();
    // Whether every cell has had its thumbnail made once (or none was asked).
    bool thumbnailsDone() const;
    // Opens the cell cellNo in the large view.
    void showLargeView();

    // The bytes of thumbnails a list keeps around its view; set before it loads.
    static inline qint64 pictureBudget = qint64(16) * 1024 * 1024;

    void Form_Load() override;  // the build
    void Image1_MouseDown(int Index, int Button, int Shift, QPoint position);
    void Image1_DblClick(int Index);
    void cells_KeyDown(int KeyCode, int Shift);

private:
    void build();
    void addCells(qsizetype count, const std::function<QString(qsizetype)> &nameAt);
    void placeCell(qint64 i);
    void startThumbnails(MDIForm1 &frame);
    CellSpan cellsInView() const;
    void thumbnailArrived(qint64 k, const QString &path, const rt::Picture &picture);
    void dropFarPictures();
    void addCellMenu();
    // Runs the cell command of that key on cell k, as its item would; false
    // when no command has that key.
    bool runCommandKey(qint64 k, int keyCode);
    qint64 cellAfterKey(qint64 k, int keyCode) const;
    void makeCurrent(qint64 k);

    ThumbnailQueue *thumbnails_ = nullptr;
    PictureBudget heldPictures_{pictureBudget};
    bool building_ = false;
    bool adding_ = false;
    QStringList arriving_;
    bool closeRequested_ = false;
};
