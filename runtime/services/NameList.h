#pragma once

#include "runtime/services/NaturalOrder.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace rt {

// A folder's names in natural order, kept in one block of text: a hundred
// thousand names cost their characters and eight bytes each, not an object
// apiece. Copies share the block until one of them changes.
class NameList
{
public:
    qsizetype size() const { return entries_.size(); }
    bool isEmpty() const { return entries_.isEmpty(); }
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
    struct Entry
    {
        quint32 start;
        quint32 length;
    };
    // The name as a string over the block itself, valid until the block changes.
    QString over(Entry entry) const;
    qsizetype firstNotBefore(const QString &name, qsizetype low) const;
    void compact();

    QString text_;
    QList<Entry> entries_;
    qsizetype unused_ = 0;  // characters of removed names still in the block
    NaturalOrder order_;
};

}  // namespace rt
