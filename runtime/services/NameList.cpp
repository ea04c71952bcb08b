#include "runtime/services/NameList.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace rt {

QString NameList::over(Entry entry) const
{
    return QString::fromRawData(text_.constData() + entry.start, qsizetype(entry.length));
}

QString NameList::at(qsizetype row) const
{
    const Entry entry = entries_.at(row);
    return QString(text_.constData() + entry.start, qsizetype(entry.length));
}

qsizetype NameList::firstNotBefore(const QString &name, qsizetype low) const
{
    qsizetype high = entries_.size();
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (order_(over(entries_[middle]), name))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

qsizetype NameList::indexOf(const QString &name) const
{
    const qsizetype row = firstNotBefore(name, 0);
    return row < entries_.size() && over(entries_[row]) == name ? row : -1;
}

// Each name is placed by a binary search from the last one's place; names
// that fall before the same listed name follow at the cost of one comparison.
QList<qsizetype> NameList::insert(QStringList &names)
{
    sortNaturally(names);
    QList<qsizetype> ahead(names.size());
    qsizetype row = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const bool sameGap = i > 0 && (row == entries_.size() || order_(names[i], over(entries_[row])));
        if (!sameGap)
            row = firstNotBefore(names[i], row);
        ahead[i] = row;
    }

    QList<Entry> merged;
    merged.reserve(entries_.size() + names.size());
    text_.reserve(text_.size()
                  + std::accumulate(names.cbegin(), names.cend(), qsizetype(0),
                                    [](qsizetype sum, const QString &name) { return sum + name.size(); }));
    qsizetype old = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        std::copy(entries_.cbegin() + old, entries_.cbegin() + ahead[i], std::back_inserter(merged));
        old = ahead[i];
        merged.append({quint32(text_.size()), quint32(names[i].size())});
        text_.append(names[i]);
    }
    std::copy(entries_.cbegin() + old, entries_.cend(), std::back_inserter(merged));
    entries_ = std::move(merged);
    return ahead;
}

void NameList::removeAt(qsizetype row)
{
    unused_ += entries_.at(row).length;
    entries_.removeAt(row);
    if (unused_ > text_.size() / 2)
        compact();
}

void NameList::clear()
{
    text_ = QString();
    entries_ = QList<Entry>();
    unused_ = 0;
}

void NameList::compact()
{
    QString text;
    text.reserve(text_.size() - unused_);
    for (Entry &entry : entries_) {
        const quint32 start = quint32(text.size());
        text.append(text_.constData() + entry.start, qsizetype(entry.length));
        entry.start = start;
    }
    text_ = std::move(text);
    unused_ = 0;
}

}  // namespace rt
