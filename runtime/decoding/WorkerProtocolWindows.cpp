#include "runtime/decoding/WorkerWire.h"

#include <windows.h>

namespace rt::decoding {

// A pipe carries bytes: a message is the whole layout, written and read in full.
bool sendWire(Channel channel, const Wire &wire, Passed passed)
{
    Wire message = wire;
    message.passed = passed;
    const char *next = reinterpret_cast<const char *>(&message);
    DWORD left = sizeof message;
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(channel, next, left, &written, nullptr) || written == 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

bool receiveWire(Channel channel, Wire &wire, Passed &passed)
{
    passed = -1;
    char *next = reinterpret_cast<char *>(&wire);
    DWORD left = sizeof wire;
    while (left > 0) {
        DWORD read = 0;
        if (!ReadFile(channel, next, left, &read, nullptr) || read == 0)
            return false;
        next += read;
        left -= read;
    }
    passed = wire.passed;
    return true;
}

void dropPassed(Passed &passed)
{
    passed = -1;
}

} // namespace rt::decoding
