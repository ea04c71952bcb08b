#include "runtime/forms/controls/DirListBox.h"

#include "runtime/forms/FailureBox.h"
#include "runtime/services/NaturalOrder.h"

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

} // namespace

DirListBox::DirListBox(QWidget *parent)
    : QTreeWidget(parent)
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
    rebuild();
}

void DirListBox::setPath(const QString &path)
{
    const QFileInfo info(path);
    QDir folder(path);
    if (!info.isDir() || !info.isExecutable() || !folder.isReadable())
        throw RuntimeError(Action::Open, path, {Reason::CannotEnterFolder});
    const QString canonical = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    if (canonical == path_)
        return;
    path_ = canonical;
    rebuild();
    emit Change();
}

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
    if (auto failure = trap([&] { setPath(item->data(0, kPathRole).toString()); }))
        tell(*failure);
}

void DirListBox::rebuild()
{
    clear();
    static const QIcon open = folderIcon(true);
    static const QIcon closed = folderIcon(false);

    // Ancestors from the root down to the current folder, each opened.
    QStringList chain;
    QDir walk(QDir::fromNativeSeparators(path_));
    for (;;) {
        chain.prepend(walk.absolutePath());
        if (walk.isRoot() || !walk.cdUp())
            break;
    }
    QTreeWidgetItem *parent = nullptr;
    for (const QString &folder : std::as_const(chain)) {
        const QString name = QDir(folder).isRoot() ? QDir::toNativeSeparators(folder) : QDir(folder).dirName();
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, open);
        item->setData(0, kPathRole, QDir::toNativeSeparators(folder));
        parent = item;
    }

    QStringList subfolders = QDir(QDir::fromNativeSeparators(path_))
                                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    sortNaturally(subfolders);
    for (const QString &name : std::as_const(subfolders)) {
        auto *item = new QTreeWidgetItem(parent);
        item->setText(0, name);
        item->setIcon(0, closed);
        item->setData(0, kPathRole, QDir::toNativeSeparators(QDir(QDir::fromNativeSeparators(path_)).filePath(name)));
    }
    expandAll();
    setCurrentItem(parent);
}

} // namespace rt
