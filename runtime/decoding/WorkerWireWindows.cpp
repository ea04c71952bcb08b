#include "runtime/decoding/WorkerWire.h"

#include <windows.h>

namespace rt::decoding {

// A pipe carries bytes: a message is the whole layout, written and read in
// full. A write blocks while the decoder does not read: the timer that ends
// its job at the deadline breaks the pipe (WorkerCallWindows.cpp).
bool sendWire(Channel channel, const Wire &wire, const Passed (&passed)[kMaxPassed], QDeadlineTimer)
{
    Wire message = wire;
    for (int i = 0; i < kMaxPassed; ++i)
        message.passed[i] = passed[i];
    const char *next = reinterpret_cast<const char *>(&message);
    DWORD left = sizeof message;
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(HANDLE(channel), next, left, &written, nullptr) || written == 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

bool receiveWire(Channel channel, Wire &wire, Passed (&passed)[kMaxPassed])
{
    for (Passed &value : passed)
        value = kNone;
    char *next = reinterpret_cast<char *>(&wire);
    DWORD left = sizeof wire;
    while (left > 0) {
        DWORD read = 0;
        if (!ReadFile(HANDLE(channel), next, left, &read, nullptr) || read == 0)
            return false;
        next += read;
        left -= read;
    }
    for (int i = 0; i < kMaxPassed; ++i)
        passed[i] = Passed(wire.passed[i]);
    return true;
}

void dropPassed(Passed (&passed)[kMaxPassed])
{
    for (Passed &value : passed)
        value = kNone;
}

}  // namespace rt::decoding
