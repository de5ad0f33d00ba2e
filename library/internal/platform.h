// What differs between platforms in the library, behind one interface: one
// file per platform in library/platform/ (platform_posix.cpp,
// platform_windows.cpp), picked by the build. Internal to the project.
#ifndef PLATFORM_H
#define PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Seeks to `offset` from the start of the file, past 2 GiB too (long is 32
// bits on Windows); 0 on success.
int seek_to(FILE *fp, uint64_t offset);

// The size of the open file, or 0 when it cannot be told.
uint64_t file_size(FILE *fp);

// `bytes` of memory whose address is a multiple of `alignment` (a power of
// two); null without memory. Given back with free_aligned only.
void *alloc_aligned(size_t bytes, size_t alignment);
void free_aligned(void *area);

#endif
