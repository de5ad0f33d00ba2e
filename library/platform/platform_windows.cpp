// The library on Windows: 64-bit seeks and sizes (long is 32 bits there),
// aligned areas from the C runtime's own allocation.
#include "internal/platform.h"

#include <malloc.h>
#include <sys/stat.h>

int seek_to(FILE *fp, uint64_t offset)
{
    return fault_at_stream(FileCall::seek, fp) ? -1 : _fseeki64(fp, (long long)offset, SEEK_SET);
}

uint64_t file_size(FILE *fp)
{
    struct _stat64 st;
    if (fault_at_stream(FileCall::size, fp) || _fstat64(_fileno(fp), &st) != 0)
        return 0;
    return (uint64_t)st.st_size;
}

void *alloc_aligned(size_t bytes, size_t alignment)
{
    return _aligned_malloc(bytes, alignment);
}

void free_aligned(void *area)
{
    _aligned_free(area);
}
