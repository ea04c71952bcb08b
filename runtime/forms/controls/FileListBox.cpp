#include "runtime/forms/controls/FileListBox.h"

#include "runtime/forms/controls/Mouse.h"
#include "runtime/forms/controls/NameListModel.h"
#include "runtime/forms/controls/PaneWait.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

namespace rt {

FileListBox::FileListBox(QWidget *parent) : QListView(parent), rows_(new NameListModel(this)), wait_(new PaneWait(this))
{
    setModel(rows_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Listed when first shown, or as soon as the path or pattern is set:
    // the window usually sets its pattern right away, and a big folder should
    // not be read twice at start-up.
    path_ = QDir::toNativeSeparators(QDir::currentPath());
}

void FileListBox::showEvent(QShowEvent *event)
{
    if (!listed_)
        list(QString());
    QListView::showEvent(event);
}

void FileListBox::setPath(const QString &path)
{
    path_ = QDir::toNativeSeparators(path);
    list(QString());
}

void FileListBox::setPattern(const QString &pattern)
{
    pattern_ = pattern;
    list(QString());
}

void FileListBox::Refresh() { list(fileName()); }

int FileListBox::listCount() const { return rows_->rowCount(); }
QString FileListBox::entry(int row) const { return rows_->names().at(row); }
int FileListBox::indexOf(const QString &name) const { return int(rows_->names().indexOf(name)); }
QRect FileListBox::entryRect(int row) const { return visualRect(rows_->index(row)); }
const NameList &FileListBox::names() const { return rows_->names(); }

int FileListBox::currentListed() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

QString FileListBox::fileName() const
{
    const int row = currentListed();
    return row >= 0 ? entry(row) : QString();
}

int FileListBox::listIndex() const { return currentListed(); }

void FileListBox::setListIndex(int index)
{
    if (index < 0 || index >= listCount()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(rows_->index(index), QItemSelectionModel::ClearAndSelect);
}

void FileListBox::focusInEvent(QFocusEvent *event)
{
    // Qt makes row 0 current (unselected) when a list without a current row
    // takes the focus, so that Down would then select row 1. A freshly listed
    // folder must select its first file on Down, so the list stays without one.
    const bool hadCurrent = currentIndex().isValid();
    QListView::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid() && !selectionModel()->hasSelection())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void FileListBox::keyPressEvent(QKeyEvent *event)
{
    if (listing_ && event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier) {
        ++heldDowns_;
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void FileListBox::Drag() { dragArmed_ = true; }

void FileListBox::mousePressEvent(QMouseEvent *event)
{
    // Any press selects the entry under the pointer, the right button too.
    QListView::mousePressEvent(event);
    const QModelIndex under = indexAt(event->position().toPoint());
    if (under.isValid())
        setListIndex(under.row());
    pressPosition_ = event->position().toPoint();
    dragArmed_ = false;
    heldDowns_ = 0;  // the user chose for themselves
    emit MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()), pressPosition_);
}

void FileListBox::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragArmed_ || event->buttons() == Qt::NoButton) {
        QListView::mouseMoveEvent(event);
        return;
    }
    if ((event->position().toPoint() - pressPosition_).manhattanLength() < QApplication::startDragDistance())
        return;
    dragArmed_ = false;
    auto *drag = new QDrag(this);
    auto *data = new QMimeData;
    data->setData(QLatin1String(kFileListDrag), QByteArray());
    drag->setMimeData(data);
    if (!dragIcon_.isNull())
        drag->setPixmap(dragIcon_);
    drag->exec(Qt::CopyAction);
}

void FileListBox::mouseReleaseEvent(QMouseEvent *event)
{
    dragArmed_ = false;
    QListView::mouseReleaseEvent(event);
}

void FileListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);  // a quick second right press opens the menu again
        return;
    }
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        emit DblClick();
}

}  // namespace rt
