// The scan kernel: coordinate bounds in stored units, and one loop per
// (record layout, attribute) that copies the records whose attribute lies in
// the closed range.
#ifndef SCAN_KERNEL_H
#define SCAN_KERNEL_H

#include "Kelvory_LiDAR.h"
#include "record_io.h"

#include <algorithm>
#include <cstdio>

#define KELVORY_LAYOUT_SIZE(format, Record, gps) sizeof(Record),

// Bytes of a batch of the largest layout.
constexpr size_t kScanBatchBytes = kBatchRecords * std::max({KELVORY_LAS_LAYOUTS(KELVORY_LAYOUT_SIZE)});

// Kept records gather in the output area, a ring indexed by file offset,
// and go out each time they reach its end: one write of the whole ring, from
// one multiple of its size in the file to the next. A write that ends inside
// a page makes the next one start there, which costs the system about 5 %
// more. Writes of 1 MiB on 1 MiB offsets cost the same as 512 KiB ones, but
// have the system take memory for the file in 1 MiB pieces: on a virtual
// machine that hands free memory back to its host, one run in four or five
// then took 0.2-0.3 s longer. With 512 KiB pieces that happened in none of
// 160 runs at quiet times, in 5 or 6 of 30-40 at busy ones (writes ending
// on 64 KiB offsets: 10 of 30). The speed comes with those pieces: the same
// writes shifted 4 KiB off the offsets were no faster than unaligned ones.
// Batches kept whole go out straight from the input area, up to a multiple
// of kWriteAlign.
constexpr size_t kRingBytes = 1 << 19;
constexpr size_t kWriteAlign = 65536;
// The ring and room past its end for a chunk that runs over it.
constexpr size_t kOutAreaBytes = kRingBytes + kWriteAlign;

// The streams and areas a scan works on, where each stream stands, and the
// count of records kept.
struct ScanStreams {
    FILE *fin = nullptr;
    FILE *fout = nullptr;
    unsigned char *in_area = nullptr;   // alloc_blocks(kScanBatchBytes)
    unsigned char *out_area = nullptr;  // alloc_blocks(kOutAreaBytes)
    uint64_t in_pos = 0;                // file offsets of the streams
    uint64_t out_pos = 0;
    uint32_t rec_cnt = 0;
};

enum class ScanResult { ok, read_error, write_error };

// Converts coordinate bounds (attributes 1 to 3) from real-world units to the
// file's stored units; other bounds stay as they are.
void convert_bounds(const LAS12Header &h, int16_t AttrID, double &lo, double &hi);

// Streams the whole records of a file of `kind` from the input's position to
// its end and writes those whose attribute `AttrID` lies in [lo, hi] at the
// output's position, in order. Kind 0 has no records to scan.
ScanResult scan_records(ScanStreams &ss, LASType kind, int16_t AttrID, double lo, double hi);

#endif
