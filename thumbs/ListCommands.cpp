// The commands on a cell of the list window. Each acts on the cell last
// pressed or given a key command, cellNo, and hands its full path to the
// window that does the work, shown without waiting and given its input right
// after. The cell menu opens where the cell was pressed.
#include "dialogs/Form9.h"
#include "runtime/services/Text.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/Form2.h"

#include <QLineEdit>
#include <QMenu>

using rt::Form;

void Form10::Image1_MouseDown(int Index, int Button, int, QPoint position)
{
    cellNo = Index;
    if (Button != 2)
        return;
    // The cell stays framed while its menu is open and its command runs.
    Image1(Index).setBorderStyle(1);
    popup->exec(cells->mapToGlobal(cells->imageRect(Index).topLeft() + position));
    Image1(Index).setBorderStyle(0);
}

void Form10::Image1_DblClick(int)
{
    // The first press of the double click has set cellNo already.
    showLargeView();
}

void Form10::max_Click()
{
    showLargeView();
}

// The large view keeps its caption and window state; a file that cannot be
// shown leaves it with the picture it had.
void Form10::showLargeView()
{
    Form4 &view = Form::instance<Form4>();
    view.showModeless();
    view.showPicture(Text1(cellNo).text(), false);
}

void Form10::copy_Click()
{
    Form9 &dialog = Form::instance<Form9>();
    dialog.showModeless();
    dialog.Text1->setText(Text1(cellNo).text());
}

void Form10::del_Click()
{
    Form2 &dialog = Form::instance<Form2>();
    dialog.showModeless();
    dialog.Text2->setText(rt::toDecimal(cellNo));
    dialog.Text1->setText(Text1(cellNo).text());
}
