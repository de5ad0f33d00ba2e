// Block-aligned areas, from the platform's aligned allocation.
#include "block_areas.h"

#include <cstdlib>
#ifdef _WIN32
#include <malloc.h>
#endif

unsigned char *alloc_blocks(size_t bytes)
{
    const size_t size = area_bytes(bytes);
#ifdef _WIN32
    return (unsigned char *)_aligned_malloc(size, kBlockBytes);
#else
    void *area = nullptr;
    return posix_memalign(&area, kBlockBytes, size) == 0 ? (unsigned char *)area : nullptr;
#endif
}

void free_blocks(unsigned char *area)
{
#ifdef _WIN32
    _aligned_free(area);
#else
    free(area);
#endif
}
