// Memory areas for batches of records, laid out by file offset. Batches
// move between files and areas by whole blocks when an area's address and
// the file offset agree within a block: the system's copy then runs at full
// speed, where a few bytes of skew make it several times slower. Areas are
// therefore block-aligned, with a block to spare, and the bytes at file
// offset `pos` are placed at block_place(area, pos). Internal to the project.
#ifndef BLOCK_AREAS_H
#define BLOCK_AREAS_H

#include <cstddef>
#include <cstdint>

constexpr size_t kBlockBytes = 4096;

// The bytes an area taken for `bytes` holds from its start: `bytes` and the
// spare block that block_place may shift into.
constexpr size_t area_bytes(size_t bytes)
{
    return (bytes / kBlockBytes + 2) * kBlockBytes;
}

// A block-aligned area of area_bytes(bytes); null without memory.
unsigned char *alloc_blocks(size_t bytes);
void free_blocks(unsigned char *area);

inline unsigned char *block_place(unsigned char *area, uint64_t pos)
{
    return area + pos % kBlockBytes;
}

#endif
