// The scan kernel's face, all the run calls: one loop per (record layout,
// attribute), resolved once before the scan, that copies the records whose
// attribute lies in the closed range to the output, at the kernel level
// given; the areas it needs; and the bounds' conversion to stored units.
#ifndef SCAN_H
#define SCAN_H

#include "Kelvory_LiDAR.h"
#include "internal/kernel_levels.h"
#include "internal/record_batches.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#define SCAN_LAYOUT_SIZE(format, Record, gps) sizeof(Record),
// Bytes of a batch of the largest layout: the input area holds one.
constexpr size_t kScanBatchBytes = kBatchRecords * std::max({KELVORY_LAS_LAYOUTS(SCAN_LAYOUT_SIZE)});
#undef SCAN_LAYOUT_SIZE

// The output area, a ring standing for the output file: kRingBytes, and
// kRingSpare after them that a chunk's copy may run into.
constexpr size_t kRingBytes = 1 << 19;
constexpr size_t kRingSpare = 65536;
constexpr size_t kRingAreaBytes = kRingBytes + kRingSpare;

// What the run hands a scan: the input, standing at `data_pos`, and its area
// (alloc_blocks(kScanBatchBytes)); the output, standing at the same offset,
// and its area (alloc_blocks(kRingAreaBytes)); and what to do after each
// batch, given the input offset reached.
struct ScanFiles {
    FILE *fin;
    unsigned char *in_area;
    FILE *fout;
    unsigned char *ring_area;
    uint64_t data_pos;
    void (*after_batch)(uint64_t in_pos);
};

enum class ScanResult { ok, read_error, write_error };

// Streams the whole records from the input's position to its end and writes
// those whose attribute lies in [lo, hi] at the output's position, in order;
// `*kept` counts them.
typedef ScanResult (*ScanLoop)(const ScanFiles &files, KernelLevel level, double lo, double hi, uint32_t *kept);

// The loop for the records of a file of `kind` and attribute AttrID; null
// when the kind has no record layout (kind 0) or its records do not carry
// the attribute's field.
ScanLoop scan_loop_for(LASType kind, int16_t AttrID);

// Converts coordinate bounds from real-world units to the file's stored
// units, with the header's scale and offset of the attribute's axis; other
// bounds stay as they are.
void convert_bounds(const LAS12Header &h, int16_t AttrID, double &lo, double &hi);

#endif
