#pragma once

#include <QString>

namespace rt {

// A folder and a file name joined into a full path: directly when the folder
// ends in a separator (a drive root such as "/" or "C:\"), with one native
// separator between them otherwise.
QString fullPath(const QString &folder, const QString &name);

}  // namespace rt
