#include "runtime/forms/controls/DirListBox.h"

#include "runtime/forms/FailureBox.h"
#include "runtime/forms/controls/NameListModel.h"
#include "runtime/forms/controls/PaneWait.h"
#include "runtime/services/FolderListing.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace rt {

namespace {

constexpr int kIndent = 8;  // pixels a level, below the folder above

// A small folder drawn once: the style's folder icons cost a noticeable part
// of start-up (several sizes of PNG decoded).
QIcon folderIcon(bool open)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(120, 90, 20));
    painter.setBrush(open ? QColor(250, 220, 120) : QColor(230, 190, 80));
    painter.drawRect(0, 2, 6, 2);
    painter.drawRect(0, 3, 11, 8);
    return QIcon(pixmap);
}

// The way down to the folder drawn as an opened tree, one level a row, and
// its subfolders closed one level below it.
class FolderRows : public QStyledItemDelegate
{
public:
    FolderRows(const NameListModel *rows, QObject *parent) : QStyledItemDelegate(parent), rows_(rows) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        static const QIcon open = folderIcon(true), closed = folderIcon(false);
        QStyledItemDelegate::initStyleOption(option, index);
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->icon = index.row() < rows_->headCount() ? open : closed;
        option->decorationSize = QSize(12, 12);
    }

private:
    int indent(const QModelIndex &index) const { return kIndent * qMin(index.row(), rows_->headCount()); }

    const NameListModel *rows_;
};

}  // namespace

DirListBox::DirListBox(QWidget *parent) : QListView(parent), rows_(new NameListModel(this)), wait_(new PaneWait(this))
{
    setModel(rows_);
    setItemDelegate(new FolderRows(rows_, this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(12, 12));
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) { openRow(index.row()); });
    path_ = QDir::toNativeSeparators(QDir::currentPath());
    showChain();
    request(path_, {});
}

void DirListBox::setPath(const QString &path)
{
    request(path, [] {});
}

bool DirListBox::isListing() const { return wait_->isWaiting(); }

void DirListBox::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        openRow(currentIndex().row());
        return;
    }
    QListView::keyPressEvent(event);
}

QString DirListBox::folderAt(int row) const
{
    const int head = rows_->headCount();
    const QString folder = row < head ? chain_.at(row) : QDir(chain_.last()).filePath(rows_->names().at(row - head));
    return QDir::toNativeSeparators(folder);
}

void DirListBox::openRow(int row)
{
    const QString path = folderAt(row);
    request(path, [path] { tell(RuntimeError(Action::Open, path, {Reason::CannotEnterFolder})); });
}

void DirListBox::request(const QString &folder, std::function<void()> refused)
{
    // The spelling alone: the folder itself is asked in the job.
    const QString absolute = QDir::isAbsolutePath(folder) ? folder : QDir::current().filePath(folder);
    const QString native = QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(absolute)));
    const quint64 ticket = latest_.next();
    if (refused && native == path_) {
        // Back to the folder shown: whatever was asked for meanwhile is dropped.
        if (!complete_)
            request(path_, {});
        else
            wait_->end();
        return;
    }
    if (!refused && !chain_.isEmpty())
        showChain();  // listed anew from the start
    wait_->begin();
    listing::Request asked{QDir::fromNativeSeparators(native), platform::EntryKind::Folder,
                           [](const QString &) { return true; }, bool(refused)};
    listing::list(std::move(asked), this, [this, ticket, native, refused](listing::Step step) {
        if (latest_.isNewest(ticket))
            take(native, step, refused);
    });
}

void DirListBox::take(const QString &folder, const listing::Step &step, const std::function<void()> &refused)
{
    wait_->answered();
    if (step.refused) {
        // The folder shown stays, with the rest of its subfolders if they were still coming.
        if (complete_)
            wait_->end();
        else
            request(path_, {});
        refused();
        return;
    }
    if (step.entered) {
        path_ = folder;
        showChain();
        emit Change();
        return;
    }
    QStringList names = step.names;
    rows_->insert(names);
    if (step.end) {
        complete_ = true;
        wait_->end();
    }
}

void DirListBox::showChain()
{
    complete_ = false;
    // Ancestors from the root down to the current folder; only the spelling is read.
    chain_.clear();
    QString walk = QDir::cleanPath(QDir::fromNativeSeparators(path_));
    for (;;) {
        chain_.prepend(walk);
        const QString up = QDir::cleanPath(walk + QStringLiteral("/.."));
        if (up == walk || QDir(walk).isRoot())
            break;
        walk = up;
    }
    QStringList shown;
    for (const QString &folder : std::as_const(chain_))
        shown.append(QDir(folder).isRoot() ? QDir::toNativeSeparators(folder) : folder.section(QLatin1Char('/'), -1));
    rows_->reset(shown);
    setCurrentIndex(rows_->index(rows_->headCount() - 1));
}

}  // namespace rt
