#pragma once

#include <QStringList>
#include <QtGlobal>

// How a decoder process shuts itself in once its decoders are loaded: from
// then on it can read and write what it already holds open, make anonymous
// memory files and threads, and nothing else: no file opened, no socket, no
// program run, no process started or traced.
namespace rt::decoding {

// Closes every descriptor above `last` that the process was started with.
void closeInheritedFiles(int last);

// Shuts the process in for good and bounds its address space to what it uses
// now and the most any picture is granted. Returns what could not be set up,
// for the program to say; the rest holds regardless.
QStringList confine();

// Bounds the address space to what the process uses now and `grant` more,
// for the next picture.
void limitMemory(qint64 grant);

} // namespace rt::decoding
