// The drive, folder and file panes of the main window, the type filter, and
// opening a file into the first free preview slot.
#include "app/Form1.h"
#include "runtime/forms/Events.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/forms/Keys.h"
#include "runtime/services/Paths.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/forms/controls/DriveListBox.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/pictures/PictureFormats.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

void Form1::connectBrowserHandlers()
{
    rt::on(Drive1, &rt::DriveListBox::Change, this, &Form1::Drive1_Change);
    rt::on(Dir1, &rt::DirListBox::Change, this, &Form1::Dir1_Change);
    rt::on(File1, &rt::FileListBox::MouseDown, this, &Form1::File1_MouseDown);
    rt::on(File1, &rt::FileListBox::DblClick, this, &Form1::File1_DblClick);
    rt::onClick(all, this, &Form1::all_Click);
    for (int index = 0; index < typeItem.size(); ++index)
        rt::onClick(typeItem[index], index, this, &Form1::typeItem_Click);
}

void Form1::Drive1_Change()
{
    // Failure trap: a drive that cannot be entered leaves the folder and file
    // lists where they were, without a message.
    rt::trap([&] { Dir1->setPath(Drive1->drive()); });
}

void Form1::Dir1_Change()
{
    File1->setPath(Dir1->path());
    rt::giveFocus(File1);
    rt::sendKeys(QStringLiteral("{DOWN}"), false);
}

void Form1::File1_MouseDown(int button, int, QPoint)
{
    File1->Drag();
    if (button == 2)
        popup2->exec(QCursor::pos());
}

void Form1::all_Click() { chooseFilter(all, rt::filePatterns().join(QLatin1Char(';'))); }

void Form1::typeItem_Click(int index)
{
    chooseFilter(typeItem[index], QString::fromLatin1(rt::pictureFormats()[index].patterns));
}

void Form1::chooseFilter(QAction *item, const QString &pattern)
{
    for (QAction *filter : QList<QAction *>{all} + typeItem)
        filter->setChecked(filter == item);
    File1->setPattern(pattern);
}

void Form1::File1_DblClick()
{
    // The picture lands later; a file that cannot be shown is told then.
    openInFirstFreeSlot(rt::fullPath(File1->path(), File1->fileName()), [](const auto &failure) {
        if (failure)
            rt::tell(*failure);
    });
}

// Also how the pictures named on the command line reach the slots. A slot
// with a load under way is taken: the next file goes to the next slot.
void Form1::openInFirstFreeSlot(const QString &path, PreviewSlots::Landed landed)
{
    if (const int k = previewSlots.firstFree())
        previewSlots.fill(k, path, std::move(landed));
}
