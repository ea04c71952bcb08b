#include "runtime/forms/controls/NameListModel.h"

#include <algorithm>

namespace rt {

void NameListModel::reset(const QStringList &head)
{
    beginResetModel();
    head_ = head;
    names_.clear();
    endResetModel();
}

// Names merged into a listed folder move the rows after them: the view is
// told once, as a change of layout, rather than once for every gap filled.
void NameListModel::insert(QStringList &names)
{
    if (names.isEmpty())
        return;
    const int head = headCount();
    if (names_.isEmpty()) {
        beginInsertRows({}, head, head + int(names.size()) - 1);
        names_.insert(names);
        endInsertRows();
        return;
    }
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    const QList<qsizetype> ahead = names_.insert(names);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before) {
        int row = index.row();
        if (row >= head)
            row += int(std::upper_bound(ahead.begin(), ahead.end(), qsizetype(row - head)) - ahead.begin());
        after.append(createIndex(row, 0));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void NameListModel::remove(const QString &name)
{
    const qsizetype row = names_.indexOf(name);
    if (row < 0)
        return;
    const int at = headCount() + int(row);
    beginRemoveRows({}, at, at);
    names_.removeAt(row);
    endRemoveRows();
}

int NameListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : headCount() + int(names_.size());
}

QVariant NameListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const int row = index.row();
    return row < headCount() ? head_.at(row) : names_.at(row - headCount());
}

}  // namespace rt
