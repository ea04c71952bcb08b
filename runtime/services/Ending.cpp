#include "runtime/services/Ending.h"

#include <atomic>

namespace ending {

namespace {
std::atomic<bool> ended{false};
}

bool now() { return ended; }

void begin() { ended = true; }

void takeBack() { ended = false; }

}  // namespace ending
