// The scan kernel. The layout and the attribute are resolved once, before
// the scan: each pair has a loop of its own, instantiated from one template.
#include "scan_kernel.h"

#include "progress.h"
#include "scan_copy.h"
#include "scan_marks.h"
#include "test_seam.h"

#include <algorithm>
#include <cmath>

namespace {

// Writes `bytes` from `from` at the output's position.
bool write_bytes(ScanStreams &ss, const unsigned char *from, size_t bytes)
{
    if (bytes && fwrite(from, 1, bytes, ss.fout) != bytes)
        return false;
    ss.out_pos += bytes;
    return true;
}

// Whether bytes read from input offset `batch_pos` can be written straight
// from the input area at output offset `lands`: where their bytes lie a
// little behind their place in the output file, within a block, the system's
// copy runs several times slower than a copy here.
bool writes_in_step(uint64_t lands, uint64_t batch_pos)
{
    const uint64_t skew = (lands - batch_pos) % kBlockBytes;
    return skew == 0 || skew >= 64;
}

// Records marked and then copied while they are still in the nearest cache
// (10 to 17 kB): marking a whole batch first and copying after would fetch it
// twice, and chunks of 2,048 records already cost 5-10 % more.
constexpr size_t kChunkRecords = 512;

// Bytes of a write of `pending` bytes at output offset `pos` that lie beyond
// its last kWriteAlign offset: they wait for the next write.
size_t past_alignment(uint64_t pos, size_t pending)
{
    return std::min(pending, (size_t)((pos + pending) % kWriteAlign));
}

// Writes the bytes gathered in the output area, [start, to), up to the last
// kWriteAlign offset they reach (all of them when `last`), and moves the rest
// to where the area starts again.
bool flush_kept(ScanStreams &ss, unsigned char *&start, unsigned char *&to, bool last)
{
    const size_t pending = (size_t)(to - start);
    const size_t keep = last ? 0 : past_alignment(ss.out_pos, pending);
    if (!write_bytes(ss, start, pending - keep))
        return false;
    unsigned char *at = block_place(ss.out_area, ss.out_pos);
    memmove(at, to - keep, keep);
    start = at;
    to = at + keep;
    return true;
}

// Writes a batch of `bytes` kept whole, lying in step (writes_in_step) after
// the area's pending bytes: the area is topped up from the batch to a
// kWriteAlign offset and written, the batch goes out straight from the input
// area up to its last such offset, and its rest waits in the area.
bool write_kept_batch(ScanStreams &ss, unsigned char *&start, unsigned char *&to,
                      const unsigned char *rec, size_t bytes)
{
    const uint64_t lands = ss.out_pos + (uint64_t)(to - start);
    const size_t fill = std::min(bytes, (size_t)((kWriteAlign - lands % kWriteAlign) % kWriteAlign));
    memcpy(to, rec, fill);
    to += fill;
    if (!flush_kept(ss, start, to, false))
        return false;
    const size_t left = bytes - fill;
    if (left == 0)
        return true;  // the whole batch went into the area
    // The top-up reached a kWriteAlign offset, so the area is empty.
    const size_t keep = past_alignment(ss.out_pos, left);
    if (!write_bytes(ss, rec + fill, left - keep))
        return false;
    start = to = block_place(ss.out_area, ss.out_pos);
    memcpy(to, rec + bytes - keep, keep);
    to += keep;
    return true;
}

// One loop per (record layout, attribute): one read per batch of whole
// records, one extraction and one comparison per record, and one write per
// batch's worth of kept records. NaN fails both comparisons and is never kept.
//
// Each chunk of a batch is marked, then only its kept records are copied to
// the output area, which goes out when another chunk might not fit. Copying
// waits while every record of the batch so far is kept: a batch kept whole
// (a time window, a sorted tile) is written as it stands. Batches lie in their
// areas where their file offsets put them (block_place).
template <typename Record, int AttrID>
ScanResult scan(ScanStreams &ss, double AttrMin, double AttrMax)
{
    constexpr size_t RecLen = sizeof(Record);
    const Bounds<AttrID> bounds = bounds_of<AttrID>(AttrMin, AttrMax);
    static_assert(kBatchRecords % kChunkRecords == 0 && kChunkRecords % 64 == 0,
                  "a batch is whole chunks, a chunk whole blocks of 64 records");
    static_assert(kWriteAlign % kBlockBytes == 0, "writes end on whole blocks");
    constexpr size_t full = (kBatchRecords - kChunkRecords) * RecLen;  // no room for a chunk
    uint64_t masks[kChunkRecords / 64];
    const bool wide = has_avx();
    const uint64_t data_pos = ss.out_pos;
    unsigned char *start = block_place(ss.out_area, ss.out_pos), *to = start;
    bool more = true;
    while (more) {
        const uint64_t batch_pos = ss.in_pos;
        const unsigned char *rec = block_place(ss.in_area, batch_pos);
        const size_t whole = read_record_batch(ss.fin, (unsigned char *)rec, RecLen, &more);
        ss.in_pos += whole * RecLen;
        size_t held = 0;  // leading records of the batch, all kept, not yet copied
        for (size_t first = 0; first < whole; first += kChunkRecords) {
            const size_t n = std::min(kChunkRecords, whole - first);
            const unsigned char *chunk = rec + first * RecLen;
            if (mark_kept<Record, AttrID>(masks, chunk, n, bounds) && held == first) {
                held += n;
                continue;
            }
            // The area holds a batch beyond what a flush leaves in it: room
            // for the held records and this chunk.
            if ((size_t)(to - start) + (held + n) * RecLen > kBatchRecords * RecLen &&
                !flush_kept(ss, start, to, false))
                return ScanResult::write_error;
            memcpy(to, rec, held * RecLen);
            to += held * RecLen;
            held = 0;
            to = wide ? copy_marked_avx<RecLen>(to, chunk, n, masks)
                      : copy_marked<RecLen>(to, chunk, n, masks);
        }
        if (held) {  // kept whole
            if (writes_in_step(ss.out_pos + (uint64_t)(to - start), batch_pos)) {
                if (!write_kept_batch(ss, start, to, rec, whole * RecLen))
                    return ScanResult::write_error;
            } else {
                if (to != start && !flush_kept(ss, start, to, false))
                    return ScanResult::write_error;
                memcpy(to, rec, whole * RecLen);
                to += whole * RecLen;
            }
        }
        if (to != start && ((size_t)(to - start) > full || !more) && !flush_kept(ss, start, to, !more))
            return ScanResult::write_error;
        progress_update(ss.in_pos);
        test_hold("scan");
    }
    ss.rec_cnt = (uint32_t)((ss.out_pos - data_pos) / RecLen);
    return ferror(ss.fin) ? ScanResult::read_error : ScanResult::ok;
}

template <typename Record>
ScanResult scan_layout(ScanStreams &ss, int16_t AttrID, double lo, double hi)
{
    switch (AttrID) {
    case 1: return scan<Record, 1>(ss, lo, hi);
    case 2: return scan<Record, 2>(ss, lo, hi);
    case 3: return scan<Record, 3>(ss, lo, hi);
    case 4: return scan<Record, 4>(ss, lo, hi);
    case 5: return scan<Record, 5>(ss, lo, hi);
    case 6: return scan<Record, 6>(ss, lo, hi);
    case 7: return scan<Record, 7>(ss, lo, hi);
    case 8: return scan<Record, 8>(ss, lo, hi);
    case 9: return scan<Record, 9>(ss, lo, hi);
    case 10: return scan<Record, 10>(ss, lo, hi);
    case 11: return scan<Record, 11>(ss, lo, hi);
    case 12: return scan<Record, 12>(ss, lo, hi);
    case 13:
        if constexpr (HasGPSTime<Record>::value)
            return scan<Record, 13>(ss, lo, hi);
        return ScanResult::ok;  // refused before the scan
    default: return ScanResult::ok;
    }
}

// A bound typed as a value the file stores means that stored integer, but
// (bound - offset) / scale misses it by the rounding of the decimal texts and
// the arithmetic: a few units in the last place of the larger operand, in
// stored units. Within that (and never more than 1/16 of a step) the
// converted bound is taken as the whole number; otherwise it stays as is.
double snap_to_stored(double converted, double bound, double offset, double scale)
{
    double whole = std::nearbyint(converted);
    double larger = std::max(std::fabs(bound), std::fabs(offset));
    double ulp = std::nextafter(larger, INFINITY) - larger;
    double tolerance = std::min(4.0 * ulp / std::fabs(scale), 1.0 / 16);
    return std::fabs(converted - whole) <= tolerance ? whole : converted;
}

}  // namespace

void convert_bounds(const LAS12Header &h, int16_t AttrID, double &lo, double &hi)
{
    double scale, offset;
    switch (AttrID) {
    case 1: scale = h.XScaleFactor; offset = h.XOffset; break;
    case 2: scale = h.YScaleFactor; offset = h.YOffset; break;
    case 3: scale = h.ZScaleFactor; offset = h.ZOffset; break;
    default: return;
    }
    lo = snap_to_stored((lo - offset) / scale, lo, offset, scale);
    hi = snap_to_stored((hi - offset) / scale, hi, offset, scale);
}

#define KELVORY_SCAN_CASE(format, Record, gps) \
    case format: return scan_layout<Record>(ss, AttrID, lo, hi);

ScanResult scan_records(ScanStreams &ss, LASType kind, int16_t AttrID, double lo, double hi)
{
    switch (las_kind_format(kind)) {
    KELVORY_LAS_LAYOUTS(KELVORY_SCAN_CASE)
    default: return ScanResult::ok;  // kind 0: no layout, no records
    }
}
