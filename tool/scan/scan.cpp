// The scan loops. The layout and the attribute are resolved once, before the
// scan: each pair has a loop of its own, instantiated from one template.
#include "scan/scan.h"

#include "attributes/attributes.h"
#include "internal/block_areas.h"
#include "internal/platform.h"
#include "scan/bounds.h"
#include "scan/levels.h"
#include "scan/ring.h"

#include <algorithm>
#include <type_traits>

namespace {

// Records are marked and then copied while they are still in the nearest
// cache: marking a whole batch first and copying after would fetch it twice.
constexpr size_t kChunkRecords = 512;

// One loop per (record layout, attribute): read a batch of whole records,
// mark each chunk of it and copy the chunk's kept records to the ring, or
// hand the batch to the ring whole when every record of it is kept (a time
// window, a sorted tile). Copying waits while every record of the batch so
// far is kept. NaN fails both comparisons and is never kept.
template <typename Record, int AttrID>
ScanResult scan(const ScanFiles &files, KernelLevel level, double AttrMin, double AttrMax, uint32_t *kept)
{
    constexpr size_t RecLen = sizeof(Record);
    static_assert(kBatchRecords % kChunkRecords == 0 && kChunkRecords % 64 == 0,
                  "a batch is whole chunks, a chunk whole blocks of 64 records");
    static_assert(kChunkRecords * RecLen + kCopyOverrun <= kRingSpare,
                  "a chunk copied from before the ring's end fits after it");
    const Bounds<Record, AttrID> bounds = bounds_of<Record, AttrID>(AttrMin, AttrMax);
    Ring out = {files.fout, files.ring_area, 0, 0};
    ring_start(out, files.data_pos);
    uint64_t in_pos = files.data_pos;
    uint64_t masks[kChunkRecords / 64];
    bool more = true;
    while (more) {
        const uint64_t batch_pos = in_pos;
        unsigned char *const batch = block_place(files.in_area, batch_pos);
        const size_t whole = read_record_batch(files.fin, batch, RecLen, &more);
        in_pos += whole * RecLen;
        size_t all_kept = 0;  // leading records of the batch, all kept, not yet copied
        for (size_t first = 0; first < whole; first += kChunkRecords) {
            const size_t n = std::min(kChunkRecords, whole - first);
            const unsigned char *chunk = batch + first * RecLen;
            if (mark_chunk<Record, AttrID>(level, masks, chunk, n, bounds) && all_kept == first) {
                all_kept += n;
                continue;
            }
            if (!ring_gather(out, batch, all_kept * RecLen))
                return ScanResult::write_error;
            all_kept = 0;
            if (!ring_copied(out, copy_chunk<RecLen>(level, ring_tail(out), chunk, n, masks)))
                return ScanResult::write_error;
        }
        if (all_kept && !ring_take_batch(out, batch, whole * RecLen, batch_pos))
            return ScanResult::write_error;
        if (!more && !ring_write(out))
            return ScanResult::write_error;
        files.after_batch(in_pos);
    }
    *kept = (uint32_t)((out.gathered - files.data_pos) / RecLen);
    return file_error(files.fin) ? ScanResult::read_error : ScanResult::ok;
}

}  // namespace

ScanLoop scan_loop_for(LASType kind, int16_t AttrID)
{
    ScanLoop loop = nullptr;
    with_layout_and_attribute(kind, AttrID, [&](auto record, auto attribute) {
        using Record = std::remove_const_t<std::remove_pointer_t<decltype(record)>>;
        loop = scan<Record, decltype(attribute)::value>;
    });
    return loop;
}
