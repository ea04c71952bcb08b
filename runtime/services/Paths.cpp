#include "runtime/services/Paths.h"

#include "runtime/services/Text.h"

#include <QDir>

namespace rt {

QString fullPath(const QString &folder, const QString &name)
{
    const QString separator(QDir::separator());
    if (lastChar(folder) == separator)
        return folder + name;
    return folder + separator + name;
}

}  // namespace rt
