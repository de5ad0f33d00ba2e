// Which records of a chunk a range holds: the attribute's value of a record,
// the closed range in the attribute's own type, and the marking of a chunk a
// bit per record, with SSE2 lanes where the processor has them. Internal to
// the scan kernel.
#ifndef SCAN_MARKS_H
#define SCAN_MARKS_H

#include "Kelvory_LiDAR.h"
#include "record_io.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// What a scan compares with: the range in the attribute's own type and, for
// the attributes of at most 16 bits, the same range in 16-bit lanes.
template <int AttrID>
struct Bounds {
    Range<Value<AttrID>> range;
#ifdef __SSE2__
    Lanes16 narrow;
#endif
};

template <int AttrID>
Bounds<AttrID> bounds_of(double lo, double hi)
{
    Bounds<AttrID> b{};
    b.range = range_of<Value<AttrID>>(lo, hi);
#ifdef __SSE2__
    if constexpr (kNarrow<AttrID>)
        b.narrow = lanes16<AttrID>(b.range);
#endif
    return b;
}

// Which of eight records the bounds hold, a bit each. Where the processor has
// SSE2 (every x86-64 has), 32-bit fields are compared four at a time, narrower
// ones eight at a time and GPS times two at a time.
template <typename Record, int AttrID>
unsigned holds8(const unsigned char *rec, const Bounds<AttrID> &bounds)
{
    constexpr size_t RecLen = sizeof(Record);
    const Range<Value<AttrID>> &range = bounds.range;
#ifdef __SSE2__
    // Lanes are filled register to register: built through memory, from
    // narrower stores, the vector would wait on each of them.
    auto at = [rec](size_t k) { return extract<Record, AttrID>(rec + k * RecLen); };
    if constexpr (kNarrow<AttrID>) {
        return holds8_narrow<Record, AttrID>(rec, bounds.narrow);
    } else if constexpr (AttrID == 13) {
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

// Marks the records of a chunk that the bounds hold, a bit each in `masks`
// (one word per 64 records), with no branch, and tells whether it holds them
// all.
template <typename Record, int AttrID>
bool mark_kept(uint64_t *masks, const unsigned char *rec, size_t whole, const Bounds<AttrID> &bounds)
{
    constexpr size_t RecLen = sizeof(Record);
    uint64_t dropped = 0;
    for (size_t first = 0; first < whole; first += 64, rec += 64 * RecLen) {
        const size_t n = whole - first < 64 ? whole - first : 64;
        uint64_t mask = 0;
        size_t k = 0;
        for (; k + 8 <= n; k += 8)
            mask |= (uint64_t)holds8<Record, AttrID>(rec + k * RecLen, bounds) << k;
        for (; k < n; k++)
            mask |= (uint64_t)bounds.range.holds(extract<Record, AttrID>(rec + k * RecLen)) << k;
        masks[first / 64] = mask;
        dropped |= ~mask & (n == 64 ? ~0ull : (1ull << n) - 1);
    }
    return dropped == 0;
}

#endif
