#pragma once

#include <QThread>

namespace rt {

// How many pictures are decoded at once: the thumbnail pool's threads, and the
// decoder pool's decoders, one for each. One per core, but no more than eight:
// a BMP or GIF is decoded whole before it is scaled, and each may hold one that
// large.
inline int decodeThreads() { return qBound(1, QThread::idealThreadCount(), 8); }

}  // namespace rt
