// Fuzz target: the decimal text helpers. Text is either refused or read as
// the number it spells, which writes back to text that reads the same; a
// number written as text reads back as itself or is refused, never as
// another number.
#include "Fuzz.h"
#include "runtime/services/Failure.h"
#include "runtime/services/Text.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    try {
        const qint64 value = rt::fromDecimal(text);
        bool ok = false;
        fuzz::require(text.toLongLong(&ok) == value && ok && rt::fromDecimal(rt::toDecimal(value)) == value);
        (void)rt::lastChar(text);
    } catch (const rt::RuntimeError &) {
    }
    if (size >= sizeof(qint64)) {
        qint64 number = 0;
        std::memcpy(&number, data, sizeof number);
        try {
            fuzz::require(rt::fromDecimal(rt::toDecimal(number)) == number);
        } catch (const rt::RuntimeError &) {
        }
        // The numbers the windows pass through text boxes never fail.
        const qint64 small = qint16(number);
        fuzz::require(rt::fromDecimal(rt::toDecimal(small)) == small);
    }
    return 0;
}
