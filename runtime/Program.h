#pragma once

#include <functional>

namespace rt {

// Ends the program at once: every window closes, no window's own closing
// handling runs, nothing is asked.
void endProgram();

// Tests replace what ending does, so that the test process lives on.
void setEndHook(std::function<void()> hook);

} // namespace rt
