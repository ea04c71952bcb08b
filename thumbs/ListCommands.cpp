// The commands on a cell of the list window. Each acts on the cell last
// pressed or given a key command, cellNo, and hands its full path to the
// window that does the work, shown without waiting and given its input right
// after. The cell menu opens where the cell was pressed.
#include "dialogs/Form9.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/services/Text.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/Form2.h"

#include <QLineEdit>
#include <QMenu>

#include <algorithm>

using rt::Form;

namespace {

void copy_Click(Form10 &list)
{
    Form9 &dialog = Form::instance<Form9>();
    dialog.showModeless();
    dialog.Text1->setText(list.Text1(list.cellNo).text());
}

void del_Click(Form10 &list)
{
    Form2 &dialog = Form::instance<Form2>();
    dialog.showModeless();
    dialog.Text2->setText(rt::toDecimal(list.cellNo));
    dialog.Text1->setText(list.Text1(list.cellNo).text());
}

void max_Click(Form10 &list) { list.showLargeView(); }

// The cell menu, one row per item in its order: its caption, a separator
// above it, a key that runs it on the current cell without the menu (0: none),
// and its handler. A new command is a row here and its handler above.
struct CellCommand
{
    QString caption;
    bool separatorAbove;
    int key;
    void (*handler)(Form10 &list);
};

// clang-format off
const CellCommand kCellCommands[] = {
    {QStringLiteral("コピー"),     false, 0,              copy_Click},
    {QStringLiteral("削除"),       false, Qt::Key_Delete, del_Click},
    {QStringLiteral("大画面表示"), true,  0,              max_Click},
};
// clang-format on

}  // namespace

void Form10::addCellMenu()
{
    popup = new QMenu(QStringLiteral("popup"), this);
    for (const CellCommand &command : kCellCommands) {
        if (command.separatorAbove)
            popup->addSeparator();
        QAction *item = popup->addAction(command.caption);
        connect(item, &QAction::triggered, this,
                [this, handler = command.handler] { rt::runHandler([&] { handler(*this); }); });
    }
}

QAction *Form10::menuItem(const QString &caption) const
{
    const QList<QAction *> items = popup->actions();
    const auto found = std::find_if(items.begin(), items.end(), [&](QAction *item) { return item->text() == caption; });
    return found == items.end() ? nullptr : *found;
}

bool Form10::runCommandKey(qint64 k, int keyCode)
{
    const auto found = std::find_if(std::begin(kCellCommands), std::end(kCellCommands),
                                    [&](const CellCommand &command) { return command.key == keyCode; });
    if (keyCode == 0 || found == std::end(kCellCommands))
        return false;
    cellNo = int(k);
    found->handler(*this);
    return true;
}

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

// The large view keeps its caption and window state; a file that cannot be
// shown leaves it with the picture it had.
void Form10::showLargeView()
{
    Form4 &view = Form::instance<Form4>();
    view.showModeless();
    view.showPicture(Text1(cellNo).text(), false);
}
