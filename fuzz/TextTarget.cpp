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
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const qint64 value = rt::fromDecimal(text);
        bool ok = false;
        if (text.toLongLong(&ok) != value || !ok || rt::fromDecimal(rt::toDecimal(value)) != value)
            __builtin_trap();
        (void)rt::lastChar(text);
    } catch (const rt::RuntimeError &) {
    }
    if (size >= sizeof(qint64)) {
        qint64 number = 0;
        std::memcpy(&number, data, sizeof number);
        try {
            if (rt::fromDecimal(rt::toDecimal(number)) != number)
                __builtin_trap();
        } catch (const rt::RuntimeError &) {
        }
        // The numbers the windows pass through text boxes never fail.
        const qint64 small = qint16(number);
        if (rt::fromDecimal(rt::toDecimal(small)) != small)
            __builtin_trap();
    }
    return 0;
}
