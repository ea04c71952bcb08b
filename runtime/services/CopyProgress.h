#pragma once

#include <QtGlobal>

#include <functional>

namespace rt {

// Told the bytes copied so far and the source's size after each block of a
// copy (copyFile, platform::createCopy).
using CopyProgress = std::function<void(qint64 copied, qint64 total)>;

}  // namespace rt
