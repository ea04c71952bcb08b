#include "runtime/decoding/MemoryWatch.h"

#include "runtime/services/Sanitizer.h"

#include <atomic>
#include <cstddef>

namespace {

std::atomic<bool> ranOut{false};

}  // namespace

namespace rt::decoding {

bool memoryRanOut() { return ranOut.exchange(false); }

}  // namespace rt::decoding

#ifndef PIXMOOR_ADDRESS_SANITIZER
// The C library's allocator, behind the program's own names for it, which every
// library of the process calls (the sanitizer puts its own there).
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);

static void *noted(void *block, size_t size)
{
    if (!block && size != 0)
        ranOut = true;
    return block;
}

void *malloc(size_t size) { return noted(__libc_malloc(size), size); }

void *calloc(size_t count, size_t size) { return noted(__libc_calloc(count, size), count * size); }

void *realloc(void *block, size_t size) { return noted(__libc_realloc(block, size), size); }
}
#endif
