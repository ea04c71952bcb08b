#pragma once

#include <QDeadlineTimer>

#include <functional>

namespace rt {

// Ends the program at once: every window closes, no window's own closing
// handling runs, nothing is asked. Asking again changes nothing.
void endProgram();

// Runs `task` when the program ends, before any window closes (and before
// the hook below): work in the background stops there, by `deadline`, the
// same for every task. It returns false when work it cannot stop (a decode
// inside a library) is still running then. Registered at start-up.
void atEnd(std::function<bool(QDeadlineTimer deadline)> task);

// main()'s last step, once the event loop has returned `code`: ends what was
// not ended yet, and leaves the process without waiting for work still running.
int leaveProgram(int code);

// Tests replace what ending does, so that the test process lives on; the
// end then runs its tasks each time it is asked.
void setEndHook(std::function<void()> hook);

}  // namespace rt
