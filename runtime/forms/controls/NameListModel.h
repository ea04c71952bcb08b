#pragma once

#include "runtime/services/NameList.h"

#include <QAbstractListModel>

namespace rt {

// The rows of a pane that lists a folder: a few rows of its own first (the
// folder pane's way down to its folder), then the folder's names. Nothing is
// made per row: the view asks for the rows it paints.
class NameListModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int headCount() const { return int(head_.size()); }
    const NameList &names() const { return names_; }
    // Replaces every row: `head` first, no names.
    void reset(const QStringList &head = {});
    // Puts names in their places, sorting them; the selected and current
    // rows stay on their names.
    void insert(QStringList &names);
    void remove(const QString &name);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QStringList head_;
    NameList names_;
};

}  // namespace rt
