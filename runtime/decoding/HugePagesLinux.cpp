#include "runtime/decoding/HugePages.h"

#include "runtime/services/Sanitizer.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace rt::decoding {

namespace {

constexpr size_t kHuge = size_t(2) << 20;

size_t rounded(size_t bytes) { return (bytes + kHuge - 1) / kHuge * kHuge; }

uintptr_t roundedUp(uintptr_t address, uintptr_t unit) { return (address + unit - 1) / unit * unit; }

}  // namespace

void *hugePages(size_t bytes)
{
    // Aligned by hand: only whole aligned 2 MB ranges become huge pages.
    const size_t length = rounded(bytes) + kHuge;
    void *mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHuge - 1) / kHuge * kHuge;
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const size_t tail = start + length - (aligned + rounded(bytes)))
        ::munmap(reinterpret_cast<void *>(aligned + rounded(bytes)), tail);
    ::madvise(reinterpret_cast<void *>(aligned), rounded(bytes), MADV_HUGEPAGE);
    return reinterpret_cast<void *>(aligned);
}

void releaseHugePages(void *block, size_t bytes)
{
    if (block)
        ::munmap(block, rounded(bytes));
}

// The heap a decoder inherits from the fork server ends inside a 2 MB range
// that the server's objects share, and the system gives such a range 4 KB at
// a time: a photo's decode took some 200 first touches there. So the heap is
// grown past it, the new part advised, and its next allocations made to
// start on a 2 MB boundary of that part (the range skipped is never touched).
void heapOnHugePages()
{
    if (kAddressSanitizer)
        return;  // its allocator has no such heap
    // Blocks the size of a picture's rows or of a photo shrunk on load stay
    // in the heap instead of taking mappings of their own, 4 KB at a time.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    // What is freed past 8 MB goes back, as those mappings would have: the
    // address space granted is not held twice by a decode that frees and
    // allocates again.
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t inherited = roundedUp(reinterpret_cast<uintptr_t>(::sbrk(0)), page);
    void *volatile grown = malloc(3 * kHuge);  // volatile: the pair is not optimised away
    free(grown);
    const uintptr_t end = reinterpret_cast<uintptr_t>(::sbrk(0));
    if (end <= inherited)
        return;
    ::madvise(reinterpret_cast<void *>(inherited), end - inherited, MADV_HUGEPAGE);
    const uintptr_t top = end - mallinfo2().keepcost;
    const uintptr_t boundary = roundedUp(std::max(top, inherited) + 256, kHuge);
    if (boundary + kHuge > end)
        return;
    // Allocated up to just below the boundary and kept: the heap's free top
    // then starts there.
    void *volatile skipped = malloc(boundary - top - 128);
    (void)skipped;
}

}  // namespace rt::decoding
