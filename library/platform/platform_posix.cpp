// The library on a POSIX system: 64-bit seeks and sizes, aligned areas.
#include "internal/platform.h"

#include <cstdlib>
#include <sys/stat.h>

int seek_to(FILE *fp, uint64_t offset)
{
    return fseeko(fp, (off_t)offset, SEEK_SET);
}

uint64_t file_size(FILE *fp)
{
    struct stat st;
    return fstat(fileno(fp), &st) == 0 ? (uint64_t)st.st_size : 0;
}

void *alloc_aligned(size_t bytes, size_t alignment)
{
    void *area = nullptr;
    return posix_memalign(&area, alignment, bytes) == 0 ? area : nullptr;
}

void free_aligned(void *area)
{
    free(area);
}
