#pragma once

#include <QtGlobal>

// How a decoder process shuts itself in (Linux). The fork server, which never
// reads a picture, prepares once what every decoder it forks sets up; each
// decoder, right after the fork and before it is handed anything, shuts
// itself in for good. From then on it can read and write what it already
// holds open, map memory that is never executable, start threads, and
// nothing else: no file opened or stat'ed by path, no socket, no program run,
// no process started, traced, signalled or limited but itself.
namespace rt::decoding {

// Closes every descriptor but standard input, output and error and `keep`.
void closeFilesBut(int keep);

// Builds the decoders' system call filter and the handler that serves the
// few calls it traps. Without Landlock when `landlock` is false (tests:
// the filter must hold alone). Returns the Unconfined flags of what this
// system cannot give, as found by shutting a first forked decoder in.
int prepareConfinement(bool landlock);

// In a decoder right after the fork: limits, no privileges, Landlock, the
// filter. False when something failed that the first decoder could set up.
bool confineDecoder();

// Bounds the address space, for good, to what the decoder uses now and
// `grant` more.
void limitMemory(qint64 grant);

} // namespace rt::decoding
