// The scan kernel. The layout and the attribute are resolved once, before
// the scan: each pair has a loop of its own, instantiated from one template.
#include "scan_kernel.h"

#include "progress.h"
#include "test_seam.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Whether a record layout carries GPSTime, from the layout table.
template <typename Record>
struct HasGPSTime;
#define KELVORY_GPS_TRAIT(format, Record, gps) \
    template <>                                \
    struct HasGPSTime<Record> : std::bool_constant<(gps) != 0> {};
KELVORY_LAS_LAYOUTS(KELVORY_GPS_TRAIT)

// GPS time is compared as the double it is; every other attribute is an
// integer field of at most 32 bits and is compared as a 32-bit integer.
template <int AttrID>
using Value = std::conditional_t<AttrID == 13, double, int32_t>;

// The value of attribute `AttrID` of one record, as compared with the bounds.
// `bitfield` is read bit by bit from its unsigned byte.
template <typename Record, int AttrID>
Value<AttrID> extract(const unsigned char *rec)
{
    const uint8_t bits = (uint8_t)LOAD_FIELD(Record, bitfield, rec);
    if constexpr (AttrID == 1) return LOAD_FIELD(Record, X, rec);
    if constexpr (AttrID == 2) return LOAD_FIELD(Record, Y, rec);
    if constexpr (AttrID == 3) return LOAD_FIELD(Record, Z, rec);
    if constexpr (AttrID == 4) return LOAD_FIELD(Record, Intensity, rec);
    if constexpr (AttrID == 5) return bits & 7;
    if constexpr (AttrID == 6) return (bits >> 3) & 7;
    if constexpr (AttrID == 7) return (bits >> 6) & 1;
    if constexpr (AttrID == 8) return (bits >> 7) & 1;
    if constexpr (AttrID == 9) return LOAD_FIELD(Record, Classification, rec);
    if constexpr (AttrID == 10) return LOAD_FIELD(Record, ScanAngleRank, rec);
    if constexpr (AttrID == 11) return LOAD_FIELD(Record, UserData, rec);
    if constexpr (AttrID == 12) return LOAD_FIELD(Record, PointSourceID, rec);
    if constexpr (AttrID == 13) return LOAD_FIELD(Record, GPSTime, rec);
}

// The closed range [lo, hi] in the attribute's own type. A NaN bound, like a
// NaN value, lets nothing pass.
template <typename T>
struct Range {
    T lo, hi;
    bool holds(T v) const { return (lo <= v) & (v <= hi); }
#ifdef __SSE2__
    // The same for two values at once, a bit each.
    unsigned holds2(__m128d v) const
    {
        const __m128d in = _mm_and_pd(_mm_cmple_pd(_mm_set1_pd(lo), v), _mm_cmple_pd(v, _mm_set1_pd(hi)));
        return (unsigned)_mm_movemask_pd(in);
    }
#endif
};

// Integer fields: one unsigned comparison, v - lo <= hi - lo, and `any`
// (all ones, or zero for a range that holds no 32-bit value).
template <>
struct Range<int32_t> {
    int32_t lo;
    uint32_t span;
    uint32_t any;
    bool holds(int32_t v) const { return ((uint32_t)v - (uint32_t)lo <= span) & (any != 0); }
#ifdef __SSE2__
    // The same for four values at once, a bit each.
    unsigned holds4(__m128i v) const
    {
        const __m128i flip = _mm_set1_epi32(INT32_MIN);
        const __m128i d = _mm_xor_si128(_mm_sub_epi32(v, _mm_set1_epi32(lo)), flip);
        const __m128i out = _mm_cmpgt_epi32(d, _mm_set1_epi32((int32_t)(span ^ 0x80000000u)));
        return ~(unsigned)_mm_movemask_ps(_mm_castsi128_ps(out)) & any & 15u;
    }
#endif
};

// For an integer v, lo <= v exactly when ceil(lo) <= v, and v <= hi exactly
// when v <= floor(hi); bounds beyond 32 bits are beyond every field's values.
template <typename T>
Range<T> range_of(double lo, double hi)
{
    if constexpr (std::is_floating_point_v<T>) {
        return {lo, hi};
    } else {
        const double l = std::isnan(lo) ? INFINITY : std::max(std::ceil(lo), (double)INT32_MIN);
        const double h = std::isnan(hi) ? -INFINITY : std::min(std::floor(hi), (double)INT32_MAX);
        if (!(l <= h))
            return {0, 0, 0};
        return {(int32_t)l, (uint32_t)((int64_t)h - (int64_t)l), ~0u};
    }
}

// Copies one record to `to` in 16-byte pieces; the last piece ends with the
// record and may overlap the one before.
typedef unsigned char Piece __attribute__((vector_size(16)));

template <size_t RecLen>
void copy_record(unsigned char *to, const unsigned char *rec)
{
    static_assert(RecLen >= sizeof(Piece), "a record holds a whole piece");
    constexpr size_t n = (RecLen + sizeof(Piece) - 1) / sizeof(Piece);
    for (size_t k = 0; k < n; k++) {
        const size_t at = k + 1 < n ? k * sizeof(Piece) : RecLen - sizeof(Piece);
        Piece p;
        memcpy(&p, rec + at, sizeof p);
        memcpy(to + at, &p, sizeof p);
    }
}

// Which of eight records the range holds, a bit each. Where the processor has
// SSE2 (every x86-64 has), 32-bit fields are compared four at a time and GPS
// times two at a time.
template <typename Record, int AttrID>
unsigned holds8(const unsigned char *rec, const Range<Value<AttrID>> &range)
{
    constexpr size_t RecLen = sizeof(Record);
#ifdef __SSE2__
    // Lanes are filled register to register: built through memory, from
    // narrower stores, the vector would wait on each of them.
    auto at = [rec](size_t k) { return extract<Record, AttrID>(rec + k * RecLen); };
    if constexpr (AttrID == 13) {
        auto two = [&](size_t k) { return _mm_unpacklo_pd(_mm_set_sd(at(k)), _mm_set_sd(at(k + 1))); };
        return range.holds2(two(0)) | range.holds2(two(2)) << 2 | range.holds2(two(4)) << 4 |
               range.holds2(two(6)) << 6;
    } else {
        auto two = [&](size_t k) {
            return _mm_unpacklo_epi32(_mm_cvtsi32_si128(at(k)), _mm_cvtsi32_si128(at(k + 1)));
        };
        return range.holds4(_mm_unpacklo_epi64(two(0), two(2))) |
               range.holds4(_mm_unpacklo_epi64(two(4), two(6))) << 4;
    }
#endif
    unsigned byte = 0;
#pragma GCC unroll 8
    for (unsigned b = 0; b < 8; b++)
        byte |= (unsigned)range.holds(extract<Record, AttrID>(rec + b * RecLen)) << b;
    return byte;
}

#ifdef __SSE2__
// Attributes held in at most 16 bits (4 to 12) are compared eight at a time,
// in 16-bit lanes: the word that holds the field in each record, reduced to
// the attribute's value, against bounds clamped to its values.
template <int AttrID>
constexpr bool kNarrow = AttrID >= 4 && AttrID <= 12;
template <int AttrID>
constexpr int32_t kLeast = AttrID == 10 ? -128 : 0;
template <int AttrID>
constexpr int32_t kMost = AttrID == 4 || AttrID == 12 ? 65535
                          : AttrID == 5 || AttrID == 6 ? 7
                          : AttrID == 7 || AttrID == 8 ? 1
                          : AttrID == 10 ? 127
                                         : 255;

template <typename Record, int AttrID>
constexpr size_t word_offset()
{
    if constexpr (AttrID == 4) return offsetof(Record, Intensity);
    else if constexpr (AttrID <= 8) return offsetof(Record, bitfield);
    else if constexpr (AttrID == 9) return offsetof(Record, Classification);
    else if constexpr (AttrID == 10) return offsetof(Record, ScanAngleRank);
    else if constexpr (AttrID == 11) return offsetof(Record, UserData);
    else return offsetof(Record, PointSourceID);
}

// The attribute's values from the words, as `extract` reads them.
template <int AttrID>
__m128i lane_values(__m128i w)
{
    if constexpr (AttrID == 4 || AttrID == 12) return w;
    if constexpr (AttrID == 5) return _mm_and_si128(w, _mm_set1_epi16(7));
    if constexpr (AttrID == 6) return _mm_and_si128(_mm_srli_epi16(w, 3), _mm_set1_epi16(7));
    if constexpr (AttrID == 7) return _mm_and_si128(_mm_srli_epi16(w, 6), _mm_set1_epi16(1));
    if constexpr (AttrID == 8) return _mm_and_si128(_mm_srli_epi16(w, 7), _mm_set1_epi16(1));
    if constexpr (AttrID == 9 || AttrID == 11) return _mm_and_si128(w, _mm_set1_epi16(0xff));
    if constexpr (AttrID == 10) return _mm_srai_epi16(_mm_slli_epi16(w, 8), 8);  // signed byte
}

// A range in 16-bit lanes: v - lo <= span, unsigned, with the sign bits
// flipped for the signed comparison; `any` is 0xff, or 0 when it holds none
// of the attribute's values.
struct Lanes16 {
    __m128i lo, span;
    unsigned any;
};

template <int AttrID>
Lanes16 lanes16(const Range<int32_t> &range)
{
    const int64_t l = std::max<int64_t>(range.lo, kLeast<AttrID>);
    const int64_t h = std::min<int64_t>((int64_t)range.lo + range.span, kMost<AttrID>);
    if (!range.any || l > h)
        return {_mm_setzero_si128(), _mm_setzero_si128(), 0};
    return {_mm_set1_epi16((short)(uint16_t)l), _mm_set1_epi16((short)(uint16_t)((h - l) ^ 0x8000)), 0xffu};
}

template <int AttrID>
Lanes16 narrow_lanes(const Range<Value<AttrID>> &range)
{
    if constexpr (kNarrow<AttrID>)
        return lanes16<AttrID>(range);
    else
        return {_mm_setzero_si128(), _mm_setzero_si128(), 0};
}

// The 16-bit words at byte `at` of eight records, a lane each (the lane of an
// insertion must be a constant).
template <size_t RecLen, size_t at, size_t... k>
__m128i words(const unsigned char *rec, std::index_sequence<k...>)
{
    __m128i w = _mm_setzero_si128();
    ((w = _mm_insert_epi16(w, load<uint16_t>(rec + k * RecLen + at), (int)k)), ...);
    return w;
}

template <typename Record, int AttrID>
unsigned holds8_narrow(const unsigned char *rec, const Lanes16 &range)
{
    constexpr size_t RecLen = sizeof(Record), at = word_offset<Record, AttrID>();
    static_assert(at + 2 <= RecLen, "the word lies in the record");
    const __m128i w = words<RecLen, at>(rec, std::make_index_sequence<8>());
    const __m128i d = _mm_xor_si128(_mm_sub_epi16(lane_values<AttrID>(w), range.lo), _mm_set1_epi16(INT16_MIN));
    const __m128i out = _mm_cmpgt_epi16(d, range.span);
    return ~(unsigned)_mm_movemask_epi8(_mm_packs_epi16(out, out)) & range.any;
}
#else
template <int AttrID>
constexpr bool kNarrow = false;
#endif

// Marks the records of a chunk that the range holds, a bit each in `masks`
// (one word per 64 records), with no branch, and tells whether it holds them
// all.
template <typename Record, int AttrID>
bool mark_kept(uint64_t *masks, const unsigned char *rec, size_t whole,
               const Range<Value<AttrID>> &range)
{
    constexpr size_t RecLen = sizeof(Record);
#ifdef __SSE2__
    [[maybe_unused]] const Lanes16 narrow = narrow_lanes<AttrID>(range);
#endif
    uint64_t dropped = 0;
    for (size_t first = 0; first < whole; first += 64, rec += 64 * RecLen) {
        const size_t n = whole - first < 64 ? whole - first : 64;
        uint64_t mask = 0;
        size_t k = 0;
        for (; k + 8 <= n; k += 8) {
#ifdef __SSE2__
            if constexpr (kNarrow<AttrID>) {
                mask |= (uint64_t)holds8_narrow<Record, AttrID>(rec + k * RecLen, narrow) << k;
                continue;
            }
#endif
            mask |= (uint64_t)holds8<Record, AttrID>(rec + k * RecLen, range) << k;
        }
        for (; k < n; k++)
            mask |= (uint64_t)range.holds(extract<Record, AttrID>(rec + k * RecLen)) << k;
        masks[first / 64] = mask;
        dropped |= ~mask & (n == 64 ? ~0ull : (1ull << n) - 1);
    }
    return dropped == 0;
}

// Copies the marked records of a chunk to `to`, in order, and returns the end
// of what it copied. The one branch that depends on the data ends a block.
template <size_t RecLen>
unsigned char *copy_marked(unsigned char *to, const unsigned char *rec, size_t whole,
                           const uint64_t *masks)
{
    for (size_t first = 0; first < whole; first += 64, rec += 64 * RecLen) {
        for (uint64_t mask = masks[first / 64]; mask; mask &= mask - 1) {
            copy_record<RecLen>(to, rec + (size_t)__builtin_ctzll(mask) * RecLen);
            to += RecLen;
        }
    }
    return to;
}

#if defined(__x86_64__) || defined(__i386__)
// The same with one 32-byte store per record (and two bytes more for the
// 34-byte layout) where the processor has AVX: the copy is bound by stores,
// and 16-byte pieces take two or three. Records go two at a time, the second
// of an odd count being a stand-in that the next record overwrites; a
// record's 32 bytes may also run past its end. So up to two records' bytes
// land beyond the last one copied, where both areas have a block to spare.
template <size_t RecLen>
__attribute__((target("avx,popcnt"))) unsigned char *copy_marked_avx(unsigned char *to, const unsigned char *rec,
                                                                    size_t whole, const uint64_t *masks)
{
    typedef unsigned char Wide __attribute__((vector_size(32)));
    static_assert(RecLen >= 16 && RecLen <= sizeof(Wide) + 2, "a record is one wide piece and a tail");
    auto copy_one = [](unsigned char *at, const unsigned char *from) {
        Wide w;
        memcpy(&w, from, sizeof w);
        memcpy(at, &w, sizeof w);
        if constexpr (RecLen > sizeof(Wide))
            memcpy(at + sizeof(Wide), from + sizeof(Wide), RecLen - sizeof(Wide));
    };
    for (size_t first = 0; first < whole; first += 64, rec += 64 * RecLen) {
        uint64_t mask = masks[first / 64];
        unsigned char *const end = to + (size_t)__builtin_popcountll(mask) * RecLen;
        while (to < end) {
            const size_t i = (size_t)__builtin_ctzll(mask);
            mask &= mask - 1;
            const size_t j = mask ? (size_t)__builtin_ctzll(mask) : 0;
            mask &= mask - 1;
            copy_one(to, rec + i * RecLen);
            copy_one(to + RecLen, rec + j * RecLen);
            to += 2 * RecLen;
        }
        to = end;
    }
    return to;
}

bool has_avx()
{
    return !test_narrow_copy() && __builtin_cpu_supports("avx") && __builtin_cpu_supports("popcnt");
}
#else
template <size_t RecLen>
unsigned char *copy_marked_avx(unsigned char *to, const unsigned char *rec, size_t whole,
                               const uint64_t *masks)
{
    return copy_marked<RecLen>(to, rec, whole, masks);
}

bool has_avx()
{
    return false;
}
#endif

// Writes `count` records from `from` at the output's position.
bool write_records(ScanStreams &ss, const unsigned char *from, size_t count, size_t reclen)
{
    if (count && fwrite(from, reclen, count, ss.fout) != count)
        return false;
    ss.rec_cnt += (uint32_t)count;
    ss.out_pos += count * reclen;
    return true;
}

// Whether a batch kept whole can be written straight from the input area:
// where its bytes lie a little behind their place in the output file, within
// a block, the system's copy runs several times slower than a copy here.
bool writes_in_step(const ScanStreams &ss, uint64_t batch_pos)
{
    const uint64_t skew = (ss.out_pos - batch_pos) % kBlockBytes;
    return skew == 0 || skew >= 64;
}

// Records marked and then copied while they are still in the nearest cache
// (10 to 17 kB): marking a whole batch first and copying after would fetch it
// twice, and chunks of 2,048 records already cost 5-10 % more.
constexpr size_t kChunkRecords = 512;

// Writes the kept records gathered in the output area and starts it again.
bool flush_kept(ScanStreams &ss, unsigned char *&start, unsigned char *&to, size_t reclen)
{
    if (!write_records(ss, start, (size_t)(to - start) / reclen, reclen))
        return false;
    start = to = block_place(ss.out_area, ss.out_pos);
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
    const Range<Value<AttrID>> range = range_of<Value<AttrID>>(AttrMin, AttrMax);
    static_assert(kBatchRecords % kChunkRecords == 0 && kChunkRecords % 64 == 0,
                  "a batch is whole chunks, a chunk whole blocks of 64 records");
    constexpr size_t full = (kBatchRecords - kChunkRecords) * RecLen;  // no room for a chunk
    uint64_t masks[kChunkRecords / 64];
    const bool wide = has_avx();
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
            if (mark_kept<Record, AttrID>(masks, chunk, n, range) && held == first) {
                held += n;
                continue;
            }
            if (held && (size_t)(to - start) + held * RecLen > full + kChunkRecords * RecLen &&
                !flush_kept(ss, start, to, RecLen))
                return ScanResult::write_error;
            memcpy(to, rec, held * RecLen);
            to += held * RecLen;
            held = 0;
            if ((size_t)(to - start) > full && !flush_kept(ss, start, to, RecLen))
                return ScanResult::write_error;
            to = wide ? copy_marked_avx<RecLen>(to, chunk, n, masks)
                      : copy_marked<RecLen>(to, chunk, n, masks);
        }
        if (held) {  // kept whole
            if (writes_in_step(ss, batch_pos)) {
                if (!flush_kept(ss, start, to, RecLen) || !write_records(ss, rec, whole, RecLen))
                    return ScanResult::write_error;
                start = to = block_place(ss.out_area, ss.out_pos);
            } else {
                if (to != start && !flush_kept(ss, start, to, RecLen))
                    return ScanResult::write_error;
                memcpy(to, rec, whole * RecLen);
                to += whole * RecLen;
            }
        }
        if (to != start && ((size_t)(to - start) > full || !more) && !flush_kept(ss, start, to, RecLen))
            return ScanResult::write_error;
        progress_update(ss.in_pos);
        test_hold("scan");
    }
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
