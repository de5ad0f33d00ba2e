// Header recomputation: rescan a written LAS file and rewrite its counts,
// counts by return and coordinate extents in place.
#include "Kelvory_LiDAR.h"
#include "block_areas.h"
#include "file_offsets.h"
#include "record_batches.h"
#include "record_load.h"
#include "status_routines.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

// X, Y and Z of a record and a fourth lane that is not used: the first 16
// bytes of every layout, compared lane by lane.
typedef int32_t CoordinateLanes __attribute__((vector_size(16)));
static_assert(offsetof(LAS12fm0, X) == 0 && offsetof(LAS12fm0, Y) == 4 &&
                  offsetof(LAS12fm0, Z) == 8 && sizeof(LAS12fm0) >= sizeof(CoordinateLanes),
              "X, Y and Z lead every record");

// What a rescan of the point records finds.
struct PointSummary {
    CoordinateLanes max = {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};
    CoordinateLanes min = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
    uint32_t return_count = 0;
    uint32_t by_return_bits[8] = {};  // records by bits 0-2 of `bitfield`
    uint32_t ReturnNumberCount[5] = {0, 0, 0, 0, 0};
};

// The definition: each record widens the extremes of each axis and is
// counted by the return number in bits 0-2 of `bitfield`.
void summarize_plain(PointSummary &s, const unsigned char *rec, size_t n, size_t reclen)
{
    for (size_t i = 0; i < n; i++, rec += reclen) {
        const int32_t v[3] = {LOAD_FIELD(LAS12fm0, X, rec), LOAD_FIELD(LAS12fm0, Y, rec),
                              LOAD_FIELD(LAS12fm0, Z, rec)};
        for (int axis = 0; axis < 3; axis++) {
            if (v[axis] > s.max[axis])
                s.max[axis] = v[axis];
            if (v[axis] < s.min[axis])
                s.min[axis] = v[axis];
        }
        s.by_return_bits[(uint8_t)LOAD_FIELD(LAS12fm0, bitfield, rec) & 7u]++;
        s.return_count++;
    }
}

// Records per run of the vector summary: each return number is counted in a
// byte of one 64-bit word, which must not overflow within a run.
constexpr size_t kRunRecords = 255;

// One more record of return number r, counted in byte r of a word.
constexpr uint64_t kReturnCountUnit[8] = {1ull,       1ull << 8,  1ull << 16, 1ull << 24,
                                          1ull << 32, 1ull << 40, 1ull << 48, 1ull << 56};

// Widens the extremes by one record and counts its return number in a byte
// of `counts`.
inline __attribute__((always_inline)) void take_record(CoordinateLanes &max, CoordinateLanes &min,
                                                       uint64_t &counts, const unsigned char *rec)
{
    CoordinateLanes v;
    memcpy(&v, rec, sizeof v);
    max = v > max ? v : max;
    min = v < min ? v : min;
    counts += kReturnCountUnit[(uint8_t)LOAD_FIELD(LAS12fm0, bitfield, rec) & 7u];
}

// Summarizes `n` (at most kRunRecords) records, with no branch and no store
// per record. Records alternate between two pairs of extremes, so that each
// comparison waits only on the one two records back.
inline __attribute__((always_inline)) void summarize_run_body(PointSummary &s, const unsigned char *rec,
                                                              size_t n, size_t reclen)
{
    CoordinateLanes max0 = s.max, min0 = s.min, max1 = s.max, min1 = s.min;
    uint64_t counts = 0;
    const unsigned char *end = rec + (n & ~(size_t)1) * reclen;
    for (; rec != end; rec += 2 * reclen) {
        take_record(max0, min0, counts, rec);
        take_record(max1, min1, counts, rec + reclen);
    }
    if (n & 1)
        take_record(max0, min0, counts, rec);
    s.max = max0 > max1 ? max0 : max1;
    s.min = min0 < min1 ? min0 : min1;
    for (int r = 0; r < 8; r++)
        s.by_return_bits[r] += (uint32_t)(counts >> (8 * r)) & 0xffu;
    s.return_count += (uint32_t)n;
}

// The vector summary of `n` records, run by run, in the compiler's generic
// vectors (levels portable and sse2)...
void summarize_vectors(PointSummary &s, const unsigned char *rec, size_t n, size_t reclen)
{
    for (size_t i = 0; i < n; i += kRunRecords)
        summarize_run_body(s, rec + i * reclen, std::min(kRunRecords, n - i), reclen);
}

#ifdef __SSE2__
// ...or with the x86 instructions that take a 32-bit lane's minimum and
// maximum in one step (levels sse41 and avx).
__attribute__((target("sse4.1"))) void summarize_sse41(PointSummary &s, const unsigned char *rec, size_t n,
                                                        size_t reclen)
{
    for (size_t i = 0; i < n; i += kRunRecords)
        summarize_run_body(s, rec + i * reclen, std::min(kRunRecords, n - i), reclen);
}
#endif

void summarize(KernelLevel level, PointSummary &s, const unsigned char *rec, size_t n, size_t reclen)
{
    switch (level) {
    case KernelLevel::scalar: summarize_plain(s, rec, n, reclen); return;
#ifdef __SSE2__
    case KernelLevel::sse41:
    case KernelLevel::avx: summarize_sse41(s, rec, n, reclen); return;
#endif
    default: summarize_vectors(s, rec, n, reclen); return;
    }
}

// Returns numbered 1 to 5 are counted by number; 0, 6 and 7 only in the total.
void count_by_return(PointSummary &s)
{
    for (int r = 1; r <= 5; r++)
        s.ReturnNumberCount[r - 1] = s.by_return_bits[r];
}

// Summarizes every whole record from file offset `pos`, where the stream
// stands, to the end of the file. Returns false on a read error.
bool summarize_records(FILE *fp, unsigned char *area, uint64_t pos, size_t reclen, KernelLevel level,
                       PointSummary &s)
{
    bool more = true;
    while (more) {
        unsigned char *buf = block_place(area, pos);
        const size_t whole = read_record_batch(fp, buf, reclen, &more);
        summarize(level, s, buf, whole, reclen);
        pos += whole * reclen;
    }
    return !ferror(fp);
}

void no_record_memory(const char *filename)
{
    printf("\nCannot allocate memory for storing a record of information from %s\n", filename);
}

// Seeks to the first record and summarizes them all, in `given` or else in an
// area of its own; prints why it failed.
int16_t scan_point_records(const char *filename, FILE *fp, const LAS12Header *ph, size_t reclen,
                           unsigned char *given, KernelLevel level, PointSummary &s)
{
    unsigned char *area = given ? given : alloc_blocks(kBatchRecords * reclen);
    if (!area) {
        no_record_memory(filename);
        return -1;
    }
    const bool ok = seek_to(fp, ph->OffsetToData) == 0 &&
                    summarize_records(fp, area, ph->OffsetToData, reclen, level, s);
    if (!given)
        free_blocks(area);
    if (!ok) {
        printf("\nCannot read the point records of %s for header update\n\n", filename);
        return -1;
    }
    return 0;
}

// A file without records keeps the traditional start values of the
// extremes; with records the extremes are exactly those of the records.
void apply_empty_start_values(PointSummary &s)
{
    s.max = CoordinateLanes{INT32_MIN + 2, INT32_MIN + 2, -10000000, 0};
    s.min = CoordinateLanes{INT32_MAX - 1, INT32_MAX - 1, 10000000, 0};
}

void store_summary(LAS12Header &h, const PointSummary &s)
{
    h.NumberOfPointReturns = s.return_count;
    for (int i = 0; i < 5; i++)
        h.NumberOfPointsByReturn[i] = s.ReturnNumberCount[i];
    h.MaxX = (double)s.max[0] * h.XScaleFactor + h.XOffset;
    h.MinX = (double)s.min[0] * h.XScaleFactor + h.XOffset;
    h.MaxY = (double)s.max[1] * h.YScaleFactor + h.YOffset;
    h.MinY = (double)s.min[1] * h.YScaleFactor + h.YOffset;
    h.MaxZ = (double)s.max[2] * h.ZScaleFactor + h.ZOffset;
    h.MinZ = (double)s.min[2] * h.ZScaleFactor + h.ZOffset;
}

int16_t update_open_file(const char *filename, FILE *fp, LASType kind, unsigned char *area,
                         KernelLevel level, LAS12Header *ph)
{
    if (read_header_block(fp, filename, "\nCannot read the header of %s for header update\n\n", ph) < 0)
        return -1;
    PointSummary s;
    const size_t reclen = las_record_length(kind);
    if (reclen != 0 && scan_point_records(filename, fp, ph, reclen, area, level, s) < 0)
        return -1;
    count_by_return(s);
    if (s.return_count == 0)
        apply_empty_start_values(s);
    store_summary(*ph, s);
    if (seek_to(fp, 0) != 0 || fwrite(ph, 1, sizeof *ph, fp) != sizeof *ph || fflush(fp) != 0) {
        printf("\nCannot write the header of %s\n\n", filename);
        return -1;
    }
    return 0;
}

}  // namespace

int16_t update_header_status(const char *filename, KernelLevel level)
{
    return update_header_in(filename, nullptr, 0, level);
}

int16_t update_header_in(const char *filename, unsigned char *area, size_t area_size, KernelLevel level)
{
    bool name_refused;
    const LASType kind = check_las_why(filename, &name_refused);
    if (kind < 0)
        return name_refused ? UPDATE_NAME_REFUSED : -1;
    if (area && area_size < area_bytes(kBatchRecords * las_record_length(kind))) {
        no_record_memory(filename);
        return -1;
    }
    FILE *fp = fopen(filename, "r+b");
    if (!fp) {
        printf("\nCannot open binary file %s for header update\n\n", filename);
        return -1;
    }
    stream_whole_batches(fp);
    LAS12Header *ph = (LAS12Header *)malloc(sizeof(LAS12Header));
    if (!ph) {
        printf("\nCannot allocate memory for storing %s header information\n", filename);
        fclose(fp);
        return -1;
    }
    int16_t status = update_open_file(filename, fp, kind, area, level, ph);
    free(ph);
    if (fclose(fp) != 0 && status == 0) {
        printf("\nCannot write the header of %s\n\n", filename);
        status = -1;
    }
    if (status == 0)
        printf("\rHeader of file %s has been updated    ", filename);
    return status;
}

void update_header(const char *filename)
{
    if (update_header_status(filename, best_kernel_level()) < 0)
        exit(-1);
}
