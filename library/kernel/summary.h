// The header rescan's summary of point records: the extremes of X, Y and Z
// and the records counted by return number, at each kernel level. Internal
// to the library.
#ifndef SUMMARY_H
#define SUMMARY_H

#include "Kelvory_LiDAR.h"
#include "internal/kernel_levels.h"
#include "internal/record_load.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// Adds `n` records of `reclen` bytes from `rec` to the summary, at `level`.
void summarize(KernelLevel level, PointSummary &s, const unsigned char *rec, size_t n, size_t reclen);

// The levels' variants (the level table names them).
void summarize_plain(PointSummary &s, const unsigned char *rec, size_t n, size_t reclen);
void summarize_vectors(PointSummary &s, const unsigned char *rec, size_t n, size_t reclen);
void summarize_sse41(PointSummary &s, const unsigned char *rec, size_t n, size_t reclen);

// The vector summary's algorithm, compiled once per instruction set by each
// variant that runs it.

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

// The vector summary of `n` records, run by run.
inline __attribute__((always_inline)) void summarize_runs(PointSummary &s, const unsigned char *rec, size_t n,
                                                          size_t reclen)
{
    for (size_t i = 0; i < n; i += kRunRecords)
        summarize_run_body(s, rec + i * reclen, std::min(kRunRecords, n - i), reclen);
}

#endif
