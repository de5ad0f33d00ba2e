// The library on a POSIX system: 64-bit seeks and sizes, aligned areas.
#include "internal/platform.h"

#include <cstdlib>
#include <sys/stat.h>

int seek_to(FILE *fp, uint64_t offset)
{
    return fault_at_stream(FileCall::seek, fp) ? -1 : fseeko(fp, (off_t)offset, SEEK_SET);
}

uint64_t file_size(FILE *fp)
{
    struct stat st;
    if (fault_at_stream(FileCall::size, fp) || fstat(fileno(fp), &st) != 0)
        return 0;
    return (uint64_t)st.st_size;
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
