#pragma once

#include "runtime/pictures/Picture.h"
#include "runtime/services/Failure.h"

#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class QObject;

// A picture the windows show, loaded off the interface thread.
namespace rt {

struct LoadedPicture
{
    Picture picture;                      // the empty picture on failure
    std::optional<RuntimeError> failure;  // what loadPicture would have thrown
};

// Loads `path` as loadPicture(path, fill) does, in the job lane of its volume,
// then runs `done` on the interface thread unless `receiver` has gone. An
// empty path asks nothing of the file system: `done` runs at once with the
// empty picture.
void loadPictureLater(const QString &path, QSize fill, QObject *receiver, std::function<void(LoadedPicture)> done);

}  // namespace rt
