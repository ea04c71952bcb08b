#pragma once

#include <QtGlobal>

// How a decoder process is shut in (Linux). The fork server, which never
// reads a picture, shuts itself in once its decoders are loaded (limits with
// hard values equal to the soft ones, no privileges, no file opened by path)
// and its decoders inherit it; each decoder, right after the fork and before
// it is handed anything, adds what the server itself cannot live with: the
// system call filter. From then on it can read and write what it already
// holds open, map memory that is never executable, start threads, and
// nothing else: no file opened or stat'ed by path, no socket, no program run,
// no process started, traced, signalled or limited but itself.
namespace rt::decoding {

// Closes every descriptor but standard input, output and error and `keep`.
void closeFilesBut(int keep);

// In the fork server once its decoders are loaded: builds the decoders'
// filter and shuts the server in, without Landlock when `landlock` is false
// (tests: the filter must hold alone). Returns the Unconfined flags of what
// this system cannot give, as found by shutting a first decoder in.
int prepareConfinement(bool landlock);

// In the fork server before each fork: what the next decoder starts with.
void noteAddressSpace();

// In a decoder right after the fork. False when something failed that the
// first decoder could set up.
bool confineDecoder();

// Bounds the decoder's address space, for good, to what it started with and
// `grant` more.
void limitMemory(qint64 grant);

}  // namespace rt::decoding
