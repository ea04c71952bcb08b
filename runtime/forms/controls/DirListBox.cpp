#include "runtime/forms/controls/DirListBox.h"

#include "runtime/forms/FailureBox.h"
#include "runtime/forms/controls/PaneWait.h"
#include "runtime/services/FolderListing.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

namespace rt {

namespace {

constexpr int kPathRole = Qt::UserRole;

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

}  // namespace

DirListBox::DirListBox(QWidget *parent) : QTreeWidget(parent), wait_(new PaneWait(this))
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(8);
    setIconSize(QSize(12, 12));
    setUniformRowHeights(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) { openItem(item); });
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
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        openItem(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void DirListBox::openItem(QTreeWidgetItem *item)
{
    const QString path = item->data(0, kPathRole).toString();
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
    if (!refused && current_) {
        qDeleteAll(current_->takeChildren());  // listed anew from the start
        complete_ = false;
    }
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
    insertSorted(step.names);
    if (step.end) {
        complete_ = true;
        wait_->end();
    }
}

void DirListBox::showChain()
{
    clear();
    complete_ = false;
    static const QIcon open = folderIcon(true);

    // Ancestors from the root down to the current folder, each opened; only
    // the spelling is read.
    QStringList chain;
    QString walk = QDir::cleanPath(QDir::fromNativeSeparators(path_));
    for (;;) {
        chain.prepend(walk);
        const QString up = QDir::cleanPath(walk + QStringLiteral("/.."));
        if (up == walk || QDir(walk).isRoot())
            break;
        walk = up;
    }
    QTreeWidgetItem *parent = nullptr;
    for (const QString &folder : std::as_const(chain)) {
        const bool root = QDir(folder).isRoot();
        const QString name = root ? QDir::toNativeSeparators(folder) : folder.section(QLatin1Char('/'), -1);
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, open);
        item->setData(0, kPathRole, QDir::toNativeSeparators(folder));
        item->setExpanded(true);
        parent = item;
    }
    current_ = parent;
    setCurrentItem(parent);
}

// Batches come in the order read: each goes to its place among the subfolders.
void DirListBox::insertSorted(QStringList names)
{
    static const QIcon closed = folderIcon(false);
    sortNaturally(names);
    const QString base = QDir::fromNativeSeparators(path_);
    int row = 0;
    for (const QString &name : std::as_const(names)) {
        int high = current_->childCount();
        while (row < high) {
            const int middle = (row + high) / 2;
            if (order_(current_->child(middle)->text(0), name))
                row = middle + 1;
            else
                high = middle;
        }
        auto *item = new QTreeWidgetItem;
        item->setText(0, name);
        item->setIcon(0, closed);
        item->setData(0, kPathRole, QDir::toNativeSeparators(QDir(base).filePath(name)));
        current_->insertChild(row++, item);
    }
}

}  // namespace rt
