#include "runtime/services/Text.h"

#include "runtime/services/Failure.h"

namespace rt {

QString lastChar(const QString &text) { return text.isEmpty() ? QString() : text.right(1); }

QString toDecimal(qint64 value) { return QString::number(value); }

qint64 fromDecimal(const QString &text)
{
    const qsizetype start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    bool ok = text.size() > start && text.size() - start <= 18;
    for (qsizetype i = start; ok && i < text.size(); ++i)
        ok = text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9');
    if (!ok)
        throw RuntimeError(Action::ConvertToNumber, QString(), {Reason::NotANumber, text});
    return text.toLongLong();
}

}  // namespace rt
