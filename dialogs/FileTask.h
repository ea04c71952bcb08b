#pragma once

#include "runtime/services/Failure.h"

#include <QString>
#include <functional>
#include <optional>

// Copies and deletions asked for in the windows, run in a job of the file's
// volume so that every window keeps answering however slow the disk. Two
// operations on one file never run at once: the later waits for the earlier,
// in the order asked. One still running after kShowProgressMs shows that it
// is working in a progress dialog, with the bytes copied so far for a copy.
namespace filetask {

constexpr int kShowProgressMs = 1000;

// Runs on the interface thread once the operation has ended, with why it
// failed, unless the main window has gone by then.
using Done = std::function<void(std::optional<rt::RuntimeError> failure)>;

void copy(const QString &source, const QString &destination, Done done);
void remove(const QString &path, Done done);

}  // namespace filetask
