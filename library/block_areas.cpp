// Block-aligned areas, from the platform's aligned allocation.
#include "internal/block_areas.h"

#include "internal/platform.h"

unsigned char *alloc_blocks(size_t bytes)
{
    return (unsigned char *)alloc_aligned(area_bytes(bytes), kBlockBytes);
}

void free_blocks(unsigned char *area)
{
    free_aligned(area);
}
