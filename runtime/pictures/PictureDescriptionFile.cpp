// Kept apart from the header readers, which the decoder process links
// without the platform's file functions: it is handed open files only.
#include "runtime/pictures/PictureDescription.h"

#include "runtime/services/Platform.h"

#include <QFile>

namespace rt {

PictureDescription describePicture(const QString &path)
{
    QFile file;
    if (const Failure unreadable = platform::openRegularFile(file, path))
        return {};
    return describePicture(file);
}

}  // namespace rt
