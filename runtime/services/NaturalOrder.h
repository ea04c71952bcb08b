#pragma once

#include <QStringList>

namespace rt {

// Sorts names the way file managers show them: without regard to case, and
// digit runs by their value ("img2" before "img10").
void sortNaturally(QStringList &names);

} // namespace rt
