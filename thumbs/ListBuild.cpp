// The build of the list window: one cell per entry of the main window's file
// list, walking the list's own selection with one Down-arrow keystroke per
// entry. The walk gives every cell its name, place and path and waits for no
// picture: the thumbnails are decoded in the background from the paths the
// file list holds, starting before the walk does, and fill their cells as
// they come.
#include "app/Form1.h"
#include "runtime/Failure.h"
#include "runtime/Keys.h"
#include "runtime/Paths.h"
#include "runtime/controls/FileListBox.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScrollArea>

namespace {

// Keeps every window painted and timers running while a long walk goes on;
// clicks and keys wait until it is done.
class WalkPacer
{
public:
    WalkPacer() { clock_.start(); }

    void step()
    {
        if (clock_.elapsed() < nextBreak_)
            return;
        nextBreak_ = clock_.elapsed() + 50;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QElapsedTimer clock_;
    qint64 nextBreak_ = 50;
};

// The full path of the selected entry.
QString composePath(const rt::FileListBox *File1)
{
    return rt::fullPath(File1->path(), File1->fileName());
}

// Every entry's full path, so that decoding can run ahead of the walk.
QStringList listedPaths(const rt::FileListBox *File1)
{
    QStringList paths;
    paths.reserve(File1->listCount());
    for (int j = 0; j < File1->listCount(); ++j)
        paths.append(rt::fullPath(File1->path(), File1->item(j)->text()));
    return paths;
}

// Moves the selection one entry down as the user's own keystroke would, and
// returns once the list has handled it.
void nextEntry(rt::FileListBox *File1)
{
    rt::giveFocus(File1);
    rt::sendKeys(QStringLiteral("{DOWN}"), true);
}

} // namespace

void Form10::Form_Load()
{
    MDIForm1 &frame = Form::instance<MDIForm1>();
    frame.showModeless();  // loading the list brings up its frame
    building_ = true;
    // Failure trap: a failing step ends the build quietly; the cells made so
    // far stay.
    rt::trap([&] { build(); });
    building_ = false;
    frame.workspace->setFocusPolicy(Qt::StrongFocus);  // the keyboard may scroll the list now
    if (closeRequested_)
        unloadWithFrame();
}

void Form10::build()
{
    rt::FileListBox *File1 = form1().File1;
    if (File1->listCount() == 0)
        return;  // no entry 0 to select: cell 0 stays as designed
    File1->setListIndex(0);
    fileCount = File1->listCount();
    cells->reserve(fileCount);
    startThumbnails(Form::instance<MDIForm1>(), listedPaths(File1));
    WalkPacer pacer;

    // Image1(k)'s picture is its thumbnail, from the moment it is decoded; a
    // file that cannot be shown leaves its cell without a picture, but with
    // its name and path.
    cellPath = composePath(File1);
    Label1(0).setCaption(File1->fileName());
    cells->change(0, [](Cell &cell) { cell.pictureAwaited = true; });
    Text1(0).setText(cellPath);
    thumbnails_->release(1, cellPath);
    nextEntry(File1);
    for (int i = 1; i <= fileCount - 1; ++i) {
        if (closeRequested_)
            return;
        cellPath = composePath(File1);
        cells->load(i);
        placeCell(i);
        Label1(i).setVisible(true);
        Image1(i).setVisible(true);
        Label1(i).setCaption(File1->fileName());
        cells->change(i, [](Cell &cell) { cell.pictureAwaited = true; });
        Text1(i).setText(cellPath);
        thumbnails_->release(i + 1, cellPath);
        nextEntry(File1);
        pacer.step();
    }
    setClientSize(7650, Image1(fileCount - 1).top() + 1080);
}

// Cell i takes its place from the cell before it in row 0, and from the cell
// above it in later rows: six to a row, rows 1335 twips apart.
void Form10::placeCell(int i)
{
    if (i < 6) {
        Image1(i).setLeft(Image1(i - 1).left() + 1200);
        Label1(i).setLeft(Label1(i - 1).left() + 1200);
    } else {
        Label1(i).setTop(Image1(i - 6).top() + 1080);
        Label1(i).setLeft(Image1(i - 6).left());
        Image1(i).setTop(Image1(i - 6).top() + 1335);
        Image1(i).setLeft(Image1(i - 6).left());
    }
}
