#include "runtime/NaturalOrder.h"

#include <QCollator>

namespace rt {

void sortNaturally(QStringList &names)
{
    // Qt's collator ignores numeric mode in the C locale (as under a bare
    // environment), so that case falls back to English rules.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
}

} // namespace rt
