#include "runtime/services/NaturalOrder.h"

#include "runtime/services/Platform.h"

#include <QCollator>

#include <vector>

namespace rt {

namespace {

QCollator naturalCollator()
{
    // Qt's collator ignores numeric mode in the C locale (as under a bare
    // environment), so that case falls back to English rules.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

}  // namespace

NaturalOrder::NaturalOrder() : collator_(std::make_shared<const QCollator>(naturalCollator())) {}

bool NaturalOrder::operator()(const QString &a, const QString &b) const
{
    const int order = collator_->compare(a, b);
    return order < 0 || (order == 0 && a < b);
}

void sortNaturally(QStringList &names)
{
    if (!platform::sortKeysOrderNumbers()) {
        std::sort(names.begin(), names.end(), NaturalOrder());
        return;
    }
    const QCollator collator = naturalCollator();
    // One sort key per name instead of a collation per comparison.
    std::vector<std::pair<QCollatorSortKey, QString>> keyed;
    keyed.reserve(names.size());
    for (QString &name : names)
        keyed.emplace_back(collator.sortKey(name), std::move(name));
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        const int order = a.first.compare(b.first);
        return order < 0 || (order == 0 && a.second < b.second);
    });
    for (qsizetype i = 0; i < names.size(); ++i)
        names[i] = std::move(keyed[size_t(i)].second);
}

}  // namespace rt
