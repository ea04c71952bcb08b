#pragma once

#include "runtime/forms/Form.h"
#include "app/PreviewSlots.h"

#include <QList>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;

namespace rt {
class DirListBox;
class DriveListBox;
class FileListBox;
class ImageBox;
class PictureBox;
}

// The main window: the file panes on the left, the path box and the four
// preview slots on the right. Other windows read and write its controls.
// Its handlers are defined beside the part of the program they belong to:
// app/ (start and end), browser/, slots/ and thumbs/. Those folders build on
// this header, so it neither includes nor calls anything of theirs: the slot
// model it holds lives here in app/, and the features' handlers are connected
// by the wiring that program/ hands over before the first main window.
class Form1 : public rt::Form
{
    Q_OBJECT
public:
    Form1();

    // Run by every new main window once its controls exist.
    using Wiring = std::function<void(Form1 &)>;
    static void setWiring(Wiring wiring);
    // Each feature's wiring of its handlers to the controls.
    void connectBrowserHandlers();
    void connectSlotHandlers();
    void connectListHandlers();

    // Controls, in the order the definition creates them.
    QLineEdit *Text1;
    rt::PictureBox *Picture4, *Picture3, *Picture2, *Picture1;
    rt::FileListBox *File1;
    rt::DirListBox *Dir1;
    rt::DriveListBox *Drive1;
    QLabel *Label5, *Label4, *Label3, *Label2, *Label1;
    rt::ImageBox *Image1, *Image2, *Image3, *Image4;

    // Menu bar: mnuFile "ﾌｧｲﾙ" and help "ﾍﾙﾌﾟ"; popup and popup2 open only at the pointer.
    QMenu *mnuFile, *help, *popup, *popup2;
    QAction *mnuExit, *var;
    QAction *clear, *allclear, *sen, *del, *copi, *sen1, *max;
    QAction *itiran, *sen3, *all;
    QList<QAction *> typeItem;  // the type filter's items after "ALL": one per picture format, in the table's order

    PreviewSlots previewSlots;  // the four slots, Text1 and slotNo
    bool form2Hidden = false;   // whether the last minimise hid the list's delete dialog

    // Start and end (app/)
    void Form_Load() override;
    void Form_Unload();
    void mnuExit_Click();
    void var_Click();

    // File panes and opening a file into a slot (browser/)
    void Drive1_Change();
    void Dir1_Change();
    void File1_MouseDown(int button, int shift, QPoint position);
    void all_Click();
    void typeItem_Click(int index);
    void File1_DblClick();
    // What a double click does with a file's full path; `landed` as for PreviewSlots::fill.
    void openInFirstFreeSlot(const QString &path, PreviewSlots::Landed landed);

    // Preview slots (slots/)
    void Image1_Click();
    void Image2_Click();
    void Image3_Click();
    void Image4_Click();
    void Picture1_Click();
    void Picture2_Click();
    void Picture3_Click();
    void Picture4_Click();
    void Image1_MouseDown(int button, int shift, QPoint position);
    void Image2_MouseDown(int button, int shift, QPoint position);
    void Image3_MouseDown(int button, int shift, QPoint position);
    void Image4_MouseDown(int button, int shift, QPoint position);
    void clear_Click();
    void allclear_Click();
    void del_Click();
    void copi_Click();
    void max_Click();
    void Image1_DragDrop(QObject *source, QPoint position);
    void Image2_DragDrop(QObject *source, QPoint position);
    void Image3_DragDrop(QObject *source, QPoint position);
    void Image4_DragDrop(QObject *source, QPoint position);
    void Image1_DblClick();
    void Image2_DblClick();
    void Image3_DblClick();
    void Image4_DblClick();

    // Thumbnail list (thumbs/)
    void itiran_Click();
    void Form_Resize();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

signals:
    // Form_Resize's event: the window was shown, minimised or restored.
    void Resize();

private:
    void connectShellHandlers();

    // The shared code behind the four identical handlers of each slot event.
    void slotMouseDown(int k, int button);
    void slotDragDrop(int k, QObject *source);
    void slotDblClick(int k);
    // The shared code behind the filter items.
    void chooseFilter(QAction *item, const QString &pattern);
};

Form1 &form1();
