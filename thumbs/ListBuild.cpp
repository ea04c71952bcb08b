// The build of the list window: one cell per entry of the main window's file
// list, read from the list's entries as they are when the list is chosen, in
// one pass that waits for no picture and takes no focus; entries the file
// list brings later, while its folder is still being read, are appended as
// they come. The selection ends on the last entry, where stepping down the
// list one entry at a time would leave it. The thumbnails are decoded in the background, cells in view first, and
// fill their cells as they come.
//
// A hundred thousand entries take a good part of a second on a slow machine:
// windows are painted and timers run every 40 ms meanwhile; clicks and keys
// wait for the build; entries listed meanwhile wait for it too.
#include "app/Form1.h"
#include "runtime/services/Failure.h"
#include "runtime/forms/controls/FileListBox.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbs/ListGeometry.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScrollArea>

using namespace listgeometry;

void Form10::Form_Load()
{
    MDIForm1 &frame = Form::instance<MDIForm1>();
    frame.showModeless();  // loading the list brings up its frame
    building_ = true;
    // Failure trap: a failing step ends the build quietly; the cells made so
    // far stay.
    rt::trap([&] { build(); });
    building_ = false;
    // The keyboard walks the cells now, from cell 0.
    cells->setFocusPolicy(Qt::StrongFocus);
    cells->setFocus();
    if (closeRequested_)
        unloadWithFrame();
}

void Form10::build()
{
    rt::FileListBox *File1 = form1().File1;
    const rt::NameList listed = File1->names();  // shared, as the pane may change while the cells are made
    if (File1->isListing()) {
        // The folder is still being read: its later entries get cells of their own.
        connect(File1, &rt::FileListBox::entriesAdded, this,
                [this](const QStringList &names) { addCells(names.size(), [&](qsizetype i) { return names[i]; }); });
        connect(File1, &rt::FileListBox::listingEnded, this, [this, File1] {
            disconnect(File1, nullptr, this, nullptr);
            if (fileCount > 0)
                File1->setListIndex(File1->listCount() - 1);
        });
    }
    addCells(listed.size(), [&](qsizetype i) { return listed.at(i); });
}

// Appends a cell for each of `count` names, then sends their files to the thumbnails.
void Form10::addCells(qsizetype count, const std::function<QString(qsizetype)> &nameAt)
{
    if (adding_) {
        for (qsizetype i = 0; i < count; ++i)
            arriving_.append(nameAt(i));  // came while the cells before them were made
        return;
    }
    rt::FileListBox *File1 = form1().File1;
    if (count == 0)
        return;  // no entry 0 to select: cell 0 stays as designed
    adding_ = true;
    const qint64 first = fileCount;
    fileCount += int(count);
    cells->reserve(fileCount);
    const QString folder = File1->path();
    QElapsedTimer sinceBreak;
    sinceBreak.start();

    // Image1(k)'s picture is its thumbnail, from the moment it is decoded; a
    // file that cannot be shown leaves its cell without a picture, but with
    // its name and path.
    for (qint64 i = first; i < fileCount; ++i) {
        if (i > 0) {
            cells->load(i);
            placeCell(i);
        }
        cells->setFile(i, folder, nameAt(i - first));
        cells->change(i, [&](Cell &cell) {
            cell.labelVisible = cell.imageVisible = true;
            cell.pictureAwaited = true;
        });
        if (sinceBreak.elapsed() >= 40) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            if (closeRequested_) {
                adding_ = false;
                return;  // the program is ending
            }
            sinceBreak.restart();
        }
    }
    adding_ = false;
    cellPath = cells->path(fileCount - 1);
    File1->setListIndex(File1->listCount() - 1);
    setClientSize(kWidth, Image1(fileCount - 1).top() + kBelowImageTop);
    if (thumbnails_)
        thumbnails_->start(fileCount);
    else
        startThumbnails(Form::instance<MDIForm1>());
    if (!arriving_.isEmpty()) {
        const QStringList names = std::exchange(arriving_, {});
        addCells(names.size(), [&](qsizetype i) { return names[i]; });
    }
}

// Cell i takes its place from the cell before it in row 0, and from the cell
// above it in later rows.
void Form10::placeCell(qint64 i)
{
    if (i < kColumns) {
        Image1(i).setLeft(Image1(i - 1).left() + kColumnPitch);
        Label1(i).setLeft(Label1(i - 1).left() + kColumnPitch);
    } else {
        Label1(i).setTop(Image1(i - kColumns).top() + kBelowImageTop);
        Label1(i).setLeft(Image1(i - kColumns).left());
        Image1(i).setTop(Image1(i - kColumns).top() + kRowPitch);
        Image1(i).setLeft(Image1(i - kColumns).left());
    }
}
