#pragma once

#include <QtGlobal>

namespace rt::decoding {

#ifdef Q_OS_WIN
// A pipe's end (HANDLE). What goes alongside a message is a handle's value:
// the program duplicates a file into the decoder before it asks, and takes
// the pixels' mapping out of it once told.
using Channel = void *;
using Passed = qint64;
#else
using Channel = int;  // the socket
using Passed = int;   // a descriptor, sent with the message
#endif

} // namespace rt::decoding
