#include "runtime/pictures/Picture.h"

#include <atomic>

namespace rt {

namespace {
std::atomic<quint64> lastHandle{0};
}

Picture::Picture(QImage image, QSize fileSize)
    : handle_(++lastHandle), image_(std::move(image)), fileSize_(fileSize)
{
}

} // namespace rt
