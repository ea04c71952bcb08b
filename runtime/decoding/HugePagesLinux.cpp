#include "runtime/decoding/HugePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace rt::decoding {

namespace {

constexpr size_t kHuge = size_t(2) << 20;

size_t rounded(size_t bytes) { return (bytes + kHuge - 1) / kHuge * kHuge; }

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

}  // namespace rt::decoding
