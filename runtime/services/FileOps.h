#pragma once

#include <QString>

// File copy and deletion for the windows' commands. Both throw RuntimeError
// naming the file and the reason; neither ever loses data:
// a copy never replaces an existing file and leaves nothing behind when it
// fails; a deletion refuses read-only files and removes a link, not its target.
namespace rt {

void copyFile(const QString &source, const QString &destination);
void deleteFile(const QString &path);

} // namespace rt
