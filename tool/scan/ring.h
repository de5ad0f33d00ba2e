// The ring that kept records gather in on their way to the output file.
// Internal to the scan kernel.
#ifndef RING_H
#define RING_H

#include "internal/block_areas.h"
#include "scan/copy.h"
#include "scan/scan.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The ring is kRingBytes of memory standing for the output file: the byte
// at output offset p has its place at area + p % kRingBytes.
//
// What lies where: the output's bytes [written, gathered) (kept, not yet
// written) lie at their places from area + written % kRingBytes on, in one
// piece that ends before the ring's end. The file holds every byte before
// `written`; nothing lies in the ring beyond `gathered`.
//
// When it writes: as soon as the gathered bytes reach the ring's end, they
// go out in one write up to it, ending on a multiple of kRingBytes in the
// file, and what ran past the end (a chunk's copy may: the kRingSpare bytes
// after it take that) moves to the ring's start, where its place is. So
// every write but the last of a scan ends on a multiple of kRingBytes, or of
// kWriteAlign before a batch kept whole.
//
// A batch kept whole whose bytes lie in step with their output offsets
// (within a block, see writes_in_step) goes out straight from the input
// area: the gathered bytes are topped up from the batch to a multiple of
// kWriteAlign and written, the batch is written from there up to its last
// multiple of kWriteAlign, and its rest is gathered at its place. Afterwards
// the file holds everything up to that multiple, and the ring only the
// batch's last bytes after it (fewer than kWriteAlign). A batch out of step,
// or too short to reach the next multiple, is gathered like any other bytes.
// (kRingBytes and kRingSpare are in scan.h: the pass allocates the area.)
constexpr size_t kWriteAlign = 65536;
static_assert(kRingBytes % kWriteAlign == 0 && kWriteAlign % kBlockBytes == 0,
              "writes of a whole ring end on multiples of kWriteAlign, and those on whole blocks");
static_assert(kRingSpare >= kCopyOverrun, "a copy's overrun lies in the spare room");

struct Ring {
    FILE *fout;
    unsigned char *area;  // alloc_blocks(kRingAreaBytes)
    uint64_t written;     // output offsets, as above
    uint64_t gathered;
};

// Starts gathering at output offset `pos`, where the output stream stands.
void ring_start(Ring &r, uint64_t pos);

// Writes what is gathered, up to the ring's end.
bool ring_write(Ring &r);

// Where the next kept byte goes.
inline unsigned char *ring_tail(const Ring &r)
{
    return r.area + r.written % kRingBytes + (r.gathered - r.written);
}

// Kept records were copied from ring_tail up to `to`; writes the ring when
// they reach its end. Returns false when a write fails.
inline bool ring_copied(Ring &r, unsigned char *to)
{
    r.gathered += (uint64_t)(to - ring_tail(r));
    return to < r.area + kRingBytes || ring_write(r);
}

// Gathers `bytes` from `from`, writing the ring each time it fills.
bool ring_gather(Ring &r, const unsigned char *from, size_t bytes);

// Takes a batch kept whole, read from input offset `batch_pos`.
bool ring_take_batch(Ring &r, const unsigned char *batch, size_t bytes, uint64_t batch_pos);

#endif
