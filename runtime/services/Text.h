#pragma once

#include <QString>

// Small text conversions the windows use to pass numbers through text boxes.
namespace rt {

// The last character of `text`, or an empty string.
QString lastChar(const QString &text);

// Decimal text without blanks or sign for positive numbers: 12 -> "12".
QString toDecimal(qint64 value);

// The number written as decimal text ("-3", "12"); throws RuntimeError for any
// other text, blanks included.
qint64 fromDecimal(const QString &text);

}  // namespace rt
