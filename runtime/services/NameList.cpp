#include "runtime/services/NameList.h"

#include <algorithm>
#include <iterator>

namespace rt {

QString NameList::over(qsizetype row) const
{
    const QStringView name = text_.view(sorted_.at(row));
    return QString::fromRawData(name.data(), name.size());
}

QString NameList::at(qsizetype row) const { return text_.at(sorted_.at(row)); }

qsizetype NameList::firstNotBefore(const QString &name, qsizetype low) const
{
    qsizetype high = sorted_.size();
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (order_(over(middle), name))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

qsizetype NameList::indexOf(const QString &name) const
{
    const qsizetype row = firstNotBefore(name, 0);
    return row < sorted_.size() && over(row) == name ? row : -1;
}

// Each name is placed by a binary search from the last one's place; names
// that fall before the same listed name follow at the cost of one comparison.
QList<qsizetype> NameList::insert(QStringList &names)
{
    sortNaturally(names);
    QList<qsizetype> ahead(names.size());
    qsizetype row = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const bool sameGap = i > 0 && (row == sorted_.size() || order_(names[i], over(row)));
        if (!sameGap)
            row = firstNotBefore(names[i], row);
        ahead[i] = row;
    }

    QList<quint32> merged;
    merged.reserve(sorted_.size() + names.size());
    qsizetype old = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        std::copy(sorted_.cbegin() + old, sorted_.cbegin() + ahead[i], std::back_inserter(merged));
        old = ahead[i];
        merged.append(quint32(text_.size()));
        text_.append(names[i]);
    }
    std::copy(sorted_.cbegin() + old, sorted_.cend(), std::back_inserter(merged));
    sorted_ = std::move(merged);
    return ahead;
}

void NameList::removeAt(qsizetype row) { text_.set(sorted_.takeAt(row), {}); }

void NameList::clear()
{
    text_.clear();
    sorted_ = QList<quint32>();
}

}  // namespace rt
