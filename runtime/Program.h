#pragma once

#include <functional>

namespace rt {

// Ends the program at once: every window closes, no window's own closing
// handling runs, nothing is asked.
void endProgram();

// Runs `task` whenever the program is asked to end, before any window
// closes (and before the hook below): work in the background stops there.
void atEnd(std::function<void()> task);

// Tests replace what ending does, so that the test process lives on.
void setEndHook(std::function<void()> hook);

} // namespace rt
