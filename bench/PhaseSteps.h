#pragma once

#include <QString>

namespace bench {

struct PhaseOptions;

constexpr int kThumbnail = 65;  // a thumbnail cell's square, in pixels

// The program's own set-up, in `folder`: it lists the folder it starts in.
void prepareLikeMain(const QString &folder);
// The program started in `folder`, its main window shown and its folder
// listed. Failures are written out instead of shown in message boxes, which
// would wait for a click forever.
void startProgram(const QString &folder);
// Handles events until the folder and file lists have read their folders.
void waitListed();
QString pathIn(const PhaseOptions &options);
// Full decode, as a viewer without any scaling on load does it.
double fullDecodeMs(const QString &path);
// Makes `name` the file list's current entry; noted when it is not listed.
bool selectInFileList(const QString &name);
// The file list's type filter, chosen from its menu as the user would; the
// folder listed anew.
void chooseFilter(const QString &filter);

}  // namespace bench
