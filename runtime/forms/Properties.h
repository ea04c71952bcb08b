#pragma once

#include <QString>

class QObject;

namespace rt {

// Reads a control's property by name, without regard to case ("path",
// "FileName"); throws RuntimeError when the control has no such property.
QString readByName(const QObject *control, const QString &name);

}  // namespace rt
