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

// Where the byte at output offset `pos` lies in the ring.
unsigned char *ring_place(const ScanStreams &ss, uint64_t pos)
{
    return ss.out_area + pos % kRingBytes;
}

// Writes the gathered bytes [start, to), up to the ring's end where they run
// past it, and moves those past it to the ring's start.
bool write_gathered(ScanStreams &ss, unsigned char *&start, unsigned char *&to)
{
    unsigned char *const end = ss.out_area + kRingBytes;
    unsigned char *const upto = std::min(to, end);
    if (!write_bytes(ss, start, (size_t)(upto - start)))
        return false;
    const size_t past = (size_t)(to - upto);
    start = ring_place(ss, ss.out_pos);
    memcpy(start, upto, past);  // to the ring's start, far below its end
    to = start + past;
    return true;
}

// Gathers `bytes` from `from`, writing the ring each time it fills.
bool gather(ScanStreams &ss, unsigned char *&start, unsigned char *&to,
            const unsigned char *from, size_t bytes)
{
    unsigned char *const end = ss.out_area + kRingBytes;
    while (bytes > 0) {
        const size_t n = std::min(bytes, (size_t)(end - to));
        memcpy(to, from, n);
        to += n;
        from += n;
        bytes -= n;
        if (to == end && !write_gathered(ss, start, to))
            return false;
    }
    return true;
}

// Writes a batch of `bytes` kept whole, lying in step (writes_in_step) after
// the gathered bytes: these are topped up from the batch to a multiple of
// kWriteAlign and written, the batch goes out straight from the input area up
// to its last such multiple, and its rest is gathered.
bool write_kept_batch(ScanStreams &ss, unsigned char *&start, unsigned char *&to,
                      const unsigned char *rec, size_t bytes)
{
    const uint64_t lands = ss.out_pos + (uint64_t)(to - start);
    const size_t fill = std::min(bytes, (size_t)((kWriteAlign - lands % kWriteAlign) % kWriteAlign));
    if (!gather(ss, start, to, rec, fill))
        return false;
    if (fill == bytes)
        return true;
    if (!write_gathered(ss, start, to))  // they end on a multiple of kWriteAlign
        return false;
    const size_t left = bytes - fill, keep = (size_t)((ss.out_pos + left) % kWriteAlign);
    if (!write_bytes(ss, rec + fill, left - keep))
        return false;
    start = to = ring_place(ss, ss.out_pos);
    return gather(ss, start, to, rec + bytes - keep, keep);
}

// One loop per (record layout, attribute): one read per batch of whole
// records, one extraction and one comparison per record, and one write per
// ring's worth of kept records. NaN fails both comparisons and is never kept.
//
// Each chunk of a batch is marked, then only its kept records are copied to
// the ring while they are still in cache. Copying waits while every record of
// the batch so far is kept: a batch kept whole (a time window, a sorted tile)
// is written as it stands. Batches lie in the input area where their file
// offsets put them (block_place), and kept records in the ring likewise.
template <typename Record, int AttrID>
ScanResult scan(ScanStreams &ss, double AttrMin, double AttrMax)
{
    constexpr size_t RecLen = sizeof(Record);
    const Bounds<AttrID> bounds = bounds_of<AttrID>(AttrMin, AttrMax);
    static_assert(kBatchRecords % kChunkRecords == 0 && kChunkRecords % 64 == 0,
                  "a batch is whole chunks, a chunk whole blocks of 64 records");
    static_assert(kRingBytes % kWriteAlign == 0 && kWriteAlign % kBlockBytes == 0,
                  "the ring and the writes end on whole blocks");
    static_assert((kChunkRecords + 2) * RecLen <= kOutAreaBytes - kRingBytes,
                  "a chunk copied from before the ring's end fits after it");
    uint64_t masks[kChunkRecords / 64];
    const bool wide = has_avx();
    const uint64_t data_pos = ss.out_pos;
    unsigned char *const end = ss.out_area + kRingBytes;
    unsigned char *start = ring_place(ss, ss.out_pos), *to = start;  // gathered, not written
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
            if (!gather(ss, start, to, rec, held * RecLen))
                return ScanResult::write_error;
            held = 0;
            to = wide ? copy_marked_avx<RecLen>(to, chunk, n, masks)
                      : copy_marked<RecLen>(to, chunk, n, masks);
            if (to >= end && !write_gathered(ss, start, to))
                return ScanResult::write_error;
        }
        if (held) {  // kept whole
            const bool ok = writes_in_step(ss.out_pos + (uint64_t)(to - start), batch_pos)
                                ? write_kept_batch(ss, start, to, rec, whole * RecLen)
                                : gather(ss, start, to, rec, whole * RecLen);
            if (!ok)
                return ScanResult::write_error;
        }
        if (!more && !write_gathered(ss, start, to))
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
