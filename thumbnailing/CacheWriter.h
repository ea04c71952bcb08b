#pragma once

#include <QDeadlineTimer>

#include <functional>

// The one thread that writes the shared thumbnail cache, and the end of all
// thumbnail work when the program ends. Writing never holds up a decoder:
// what does not fit in the queue is not written this time. When the program
// ends, what is queued is dropped, a write in progress gives up and removes
// its temporary file, and no decode or write begins any more.
namespace cachewriter {

// Queues `write` for the writer's thread; dropped when 64 writes are already
// waiting or the program is ending.
void queue(std::function<void()> write);

// Asked by a write in progress between its steps (Folder::replaceFile):
// false once the program is ending.
bool proceed();

// The program's end, from its end task: drops what is queued, lets no write
// or decode begin, sends the decodes waiting for memory away, and waits until
// `deadline` for the write in progress to give up. True when the writer has
// stopped by then.
bool end(QDeadlineTimer deadline);

// Tests: wait for the queued writes; make every write pause between its steps
// (a slow disk); take up work again after an end, which their hook survives.
void waitForWrites();
void setPause(std::function<void()> pause);
void resume();

}  // namespace cachewriter
