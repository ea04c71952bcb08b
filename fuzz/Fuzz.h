#pragma once

// What every fuzz target shares: the entry points libFuzzer calls (and the
// replay program too), the input as bytes and the check that fails a run.
#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);  // Start.cpp
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fuzz {

// The input without a copy, so that a read past its end is one past the fuzzer's buffer.
inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline void require(bool holds)
{
    if (!holds)
        __builtin_trap();
}

}  // namespace fuzz
