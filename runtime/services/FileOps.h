#pragma once

#include "runtime/services/CopyProgress.h"

#include <QString>

// File copy and deletion for the windows' commands. Both throw RuntimeError
// naming the file and the reason; neither ever loses data:
// a copy never replaces an existing file and leaves nothing behind when it
// fails; a deletion refuses read-only files and removes a link, not its target.
namespace rt {

// `copied`, when given, is told after each block; the copy also tells its
// job's lane it is still answering.
void copyFile(const QString &source, const QString &destination, const CopyProgress &copied = {});
void deleteFile(const QString &path);

}  // namespace rt
