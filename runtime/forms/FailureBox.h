#pragma once

#include "runtime/services/Failure.h"

#include <functional>

// The user's side of a failure: a handler run without a trap ends at the first
// failure, and the user is told in a message box what failed and for which file.
namespace rt {

// Tells the user about a failure (a message box in Japanese), unless a test has
// installed a reporter of its own.
void tell(const RuntimeError &failure);
using Reporter = std::function<void(const RuntimeError &)>;
void setReporter(Reporter reporter);  // empty: back to message boxes

// Runs a handler without a trap: a failure ends it and is told to the user.
void runHandler(const std::function<void()> &handler);

}  // namespace rt
