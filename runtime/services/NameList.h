#pragma once

#include "runtime/services/NaturalOrder.h"
#include "runtime/services/TextColumn.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace rt {

// A folder's names in natural order, kept in one block of text: a hundred
// thousand names cost their characters and twelve bytes each, not an object
// apiece. Copies share the block until one of them changes.
class NameList
{
public:
    qsizetype size() const { return sorted_.size(); }
    bool isEmpty() const { return sorted_.isEmpty(); }
    QString at(qsizetype row) const;
    // The row `name` is listed at, or -1.
    qsizetype indexOf(const QString &name) const;
    // Puts `names` (none of them listed yet) in their places, sorting them.
    // Returns, for each of them in that order, how many of the names listed
    // before stand ahead of it: what a view needs to move its rows.
    QList<qsizetype> insert(QStringList &names);
    void removeAt(qsizetype row);
    void clear();  // gives the block's memory back

private:
    // The name in row `row`, over the column's block: valid until it changes.
    QString over(qsizetype row) const;
    qsizetype firstNotBefore(const QString &name, qsizetype low) const;

    TextColumn text_;        // the names in the order they came; a removed one emptied
    QList<quint32> sorted_;  // their places in text_, in natural order
    NaturalOrder order_;
};

}  // namespace rt
