// What differs between platforms in the library, behind one interface: one
// file per platform in library/platform/ (platform_posix.cpp,
// platform_windows.cpp), picked by the build. Internal to the project.
#ifndef PLATFORM_H
#define PLATFORM_H

#include "internal/faults.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Every file call of the library and of the tool's run is one of these, so
// that the test build can make any of them fail (internal/faults.h); in the
// shipped build each is the C library's own call. A read or write that fails
// moves fewer bytes than asked and leaves the stream in error (file_error).

inline FILE *file_open(const char *path, const char *mode)
{
    if (fault_at_path(FileCall::open, path))
        return nullptr;
    FILE *fp = fopen(path, mode);
    fault_opened(fp, path);
    return fp;
}

// Each returns the bytes moved.
inline size_t file_read(void *to, size_t bytes, FILE *fp)
{
    return fault_at_stream(FileCall::read, fp) ? 0 : fread(to, 1, bytes, fp);
}

inline size_t file_write(const void *from, size_t bytes, FILE *fp)
{
    return fault_at_stream(FileCall::write, fp) ? 0 : fwrite(from, 1, bytes, fp);
}

inline int file_flush(FILE *fp)
{
    return fault_at_stream(FileCall::flush, fp) ? EOF : fflush(fp);
}

// The stream is closed also when the close fails.
inline int file_close(FILE *fp)
{
    const bool fails = fault_at_stream(FileCall::close, fp);
    const int closed = fclose(fp);
    return fails ? EOF : closed;
}

// Whether a read or write on the stream has failed.
inline bool file_error(FILE *fp)
{
    return ferror(fp) != 0 || fault_left_error(fp);
}

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
