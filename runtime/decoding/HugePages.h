#pragma once

#include <cstddef>

// Memory for a decoder's pictures in huge pages where the system gives them
// (Linux). A decoder is a new process for each picture, and a new process
// pays for each page it touches first: under a hypervisor that shadows page
// tables (this project's test machines), far more than for the decode of a
// 4 KB page's pixels. A 2 MB page is paid for once.
namespace rt::decoding {

// Fresh zeroed private memory of at least `bytes`; null on failure. Freed
// with releaseHugePages() with the same size.
void *hugePages(size_t bytes);
void releaseHugePages(void *block, size_t bytes);

// Makes the C library's heap hand out its next memory from huge pages: a
// decode's rows, tables and images of up to 32 MB come from there. Called
// once, before the decode.
void heapOnHugePages();

}  // namespace rt::decoding
