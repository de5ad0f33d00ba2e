// The scan kernel: one loop per (record layout, attribute) that copies the
// records whose attribute lies in the closed range to the output, at the
// kernel level given (kernel_level.h).
#ifndef SCAN_KERNEL_H
#define SCAN_KERNEL_H

#include "Kelvory_LiDAR.h"
#include "kernel_level.h"
#include "record_batches.h"
#include "scan_ring.h"

#include <algorithm>
#include <cstdio>

#define KELVORY_LAYOUT_SIZE(format, Record, gps) sizeof(Record),

// Bytes of a batch of the largest layout.
constexpr size_t kScanBatchBytes = kBatchRecords * std::max({KELVORY_LAS_LAYOUTS(KELVORY_LAYOUT_SIZE)});

// The input a scan reads, where it stands, the ring its kept records go out
// through, and the count of records kept.
struct ScanStreams {
    FILE *fin = nullptr;
    unsigned char *in_area = nullptr;  // alloc_blocks(kScanBatchBytes)
    uint64_t in_pos = 0;               // file offset of the input stream
    Ring out = {};
    uint32_t rec_cnt = 0;
};

enum class ScanResult { ok, read_error, write_error };

// Whether records of a file of `kind` carry the field attribute AttrID
// reads; false for kind 0, which has no record layout.
bool layout_carries(LASType kind, int16_t AttrID);

// Streams the whole records of a file of `kind` from the input's position to
// its end and writes those whose attribute AttrID lies in [lo, hi] at the
// ring's position, in order, and counts them. A kind whose records do not
// carry the attribute (kind 0 among them) has nothing to scan.
ScanResult scan_records(ScanStreams &ss, KernelLevel level, LASType kind, int16_t AttrID, double lo, double hi);

#endif
