#pragma once

// Whether the program is ending, for the work on other threads: the cache
// writer, the decode budget and the thumbnail maker ask it before each step
// and begin nothing once it is. Set by the writer's end (cachewriter::end), which the
// program's end task runs; taken back only by tests that go on after an end.
namespace ending {

bool now();
void begin();
void takeBack();

}  // namespace ending
