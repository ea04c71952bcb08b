// The build of the list window: one cell per entry of the main window's file
// list, walking the list's own selection with one Down-arrow keystroke per
// entry. The thumbnails are decoded ahead on every core; the cells are still
// made one by one in list order, from what the walk selects.
#include "app/Form1.h"
#include "runtime/Failure.h"
#include "runtime/Keys.h"
#include "runtime/Paths.h"
#include "runtime/controls/FileListBox.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/MDIForm1.h"
#include "thumbs/Thumbnailer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScrollArea>

namespace {

// A long build shows in its frame how far it has come and keeps every window
// painted; clicks and keys wait until it is done.
class BuildProgress
{
public:
    BuildProgress(QProgressBar *bar, int total)
        : bar_(bar)
    {
        bar_->setRange(0, total);
        clock_.start();
    }
    ~BuildProgress() { bar_->hide(); }

    void advance(int done)
    {
        if (clock_.elapsed() < nextUpdate_)
            return;
        nextUpdate_ = clock_.elapsed() + 50;
        if (clock_.elapsed() >= 300) {
            bar_->setValue(done);
            bar_->show();
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QProgressBar *bar_;
    QElapsedTimer clock_;
    qint64 nextUpdate_ = 0;
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
    rt::trap([&] { build(frame); });
    building_ = false;
    frame.workspace->setFocusPolicy(Qt::StrongFocus);  // the keyboard may scroll the list now
    if (closeRequested_)
        unloadWithFrame();
}

void Form10::build(MDIForm1 &frame)
{
    rt::FileListBox *File1 = form1().File1;
    if (File1->listCount() == 0)
        return;  // no entry 0 to select: cell 0 stays as designed
    File1->setListIndex(0);
    fileCount = File1->listCount();
    cells->reserve(fileCount);
    Thumbnailer thumbnails(cells->shownSize());
    thumbnails.prefetch(listedPaths(File1));
    BuildProgress progress(frame.progress, fileCount);

    // A file that cannot be shown leaves its cell without a picture, but with
    // its name and path, and the build goes on.
    cellPath = composePath(File1);
    Label1(0).setCaption(File1->fileName());
    Image1(0).setPicture(thumbnails.take(cellPath));
    Text1(0).setText(cellPath);
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
        Image1(i).setPicture(thumbnails.take(cellPath));
        Text1(i).setText(cellPath);
        nextEntry(File1);
        progress.advance(i + 1);
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
