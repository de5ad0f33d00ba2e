// Which records of a chunk the bounds hold: an attribute's value in a
// record, as the attribute table defines it, and the marking of a chunk a
// bit per record, one record at a time (the definition) or with SSE2 lanes.
// Internal to the scan kernel.
#ifndef SCAN_MARKS_H
#define SCAN_MARKS_H

#include "attributes.h"
#include "bounds.h"
#include "kernel_level.h"
#include "record_load.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The value of attribute AttrID of one record, as compared with the bounds:
// the whole field, or its bits read from the field as unsigned.
template <typename Record, int AttrID>
Value<Record, AttrID> extract(const unsigned char *rec)
{
    using A = Attribute<AttrID>;
    using F = FieldOf<Record, AttrID>;
    const F f = load<F>(rec + A::template offset<Record>());
    if constexpr (A::kBits != 0)
        return ((std::make_unsigned_t<F>)f >> A::kShift) & ((1u << A::kBits) - 1);
    else
        return f;
}

// How a chunk is marked.
enum class Marking { scalar, sse2 };

#ifdef __SSE2__
// The same values in 16-bit lanes, from the 16-bit word that starts at the
// field in each record.
template <typename Record, int AttrID>
__m128i lane_values(__m128i w)
{
    using A = Attribute<AttrID>;
    using F = FieldOf<Record, AttrID>;
    if constexpr (A::kBits != 0)
        return _mm_and_si128(_mm_srli_epi16(w, A::kShift), _mm_set1_epi16((1 << A::kBits) - 1));
    else if constexpr (sizeof(F) == 2)
        return w;
    else if constexpr (std::is_signed_v<F>)
        return _mm_srai_epi16(_mm_slli_epi16(w, 8), 8);
    else
        return _mm_and_si128(w, _mm_set1_epi16(0xff));
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

// Narrow attributes, eight records at a time in 16-bit lanes.
template <typename Record, int AttrID>
unsigned holds8_narrow(const unsigned char *rec, const Lanes16 &range)
{
    constexpr size_t RecLen = sizeof(Record), at = Attribute<AttrID>::template offset<Record>();
    static_assert(at + 2 <= RecLen, "the word lies in the record");
    const __m128i w = words<RecLen, at>(rec, std::make_index_sequence<8>());
    const __m128i d =
        _mm_xor_si128(_mm_sub_epi16(lane_values<Record, AttrID>(w), range.lo), _mm_set1_epi16(INT16_MIN));
    const __m128i out = _mm_cmpgt_epi16(d, range.span);
    return ~(unsigned)_mm_movemask_epi8(_mm_packs_epi16(out, out)) & range.any;
}

// GPS times, two records at a time.
inline unsigned holds2(const Range<double> &range, __m128d v)
{
    const __m128d in =
        _mm_and_pd(_mm_cmple_pd(_mm_set1_pd(range.lo), v), _mm_cmple_pd(v, _mm_set1_pd(range.hi)));
    return (unsigned)_mm_movemask_pd(in);
}

// 32-bit fields, four records at a time.
inline unsigned holds4(const Range<int32_t> &range, __m128i v)
{
    const __m128i flip = _mm_set1_epi32(INT32_MIN);
    const __m128i d = _mm_xor_si128(_mm_sub_epi32(v, _mm_set1_epi32(range.lo)), flip);
    const __m128i out = _mm_cmpgt_epi32(d, _mm_set1_epi32((int32_t)(range.span ^ 0x80000000u)));
    return ~(unsigned)_mm_movemask_ps(_mm_castsi128_ps(out)) & range.any & 15u;
}

// Which of eight records the bounds hold, a bit each. Lanes are filled
// register to register: built through memory, from narrower stores, the
// vector would wait on each of them.
template <typename Record, int AttrID>
unsigned holds8_sse2(const unsigned char *rec, const Bounds<Record, AttrID> &bounds)
{
    constexpr size_t RecLen = sizeof(Record);
    auto at = [rec](size_t k) { return extract<Record, AttrID>(rec + k * RecLen); };
    if constexpr (kNarrow<Record, AttrID>) {
        return holds8_narrow<Record, AttrID>(rec, bounds.narrow);
    } else if constexpr (std::is_floating_point_v<Value<Record, AttrID>>) {
        auto two = [&](size_t k) { return _mm_unpacklo_pd(_mm_set_sd(at(k)), _mm_set_sd(at(k + 1))); };
        const Range<double> &r = bounds.range;
        return holds2(r, two(0)) | holds2(r, two(2)) << 2 | holds2(r, two(4)) << 4 | holds2(r, two(6)) << 6;
    } else {
        auto two = [&](size_t k) {
            return _mm_unpacklo_epi32(_mm_cvtsi32_si128(at(k)), _mm_cvtsi32_si128(at(k + 1)));
        };
        return holds4(bounds.range, _mm_unpacklo_epi64(two(0), two(2))) |
               holds4(bounds.range, _mm_unpacklo_epi64(two(4), two(6))) << 4;
    }
}
#endif

// Marks the records of a chunk that the bounds hold, a bit each in `masks`
// (one word per 64 records), with no branch on the data, and tells whether
// it holds them all. With SSE2, eight records at a time and the rest one by
// one.
template <typename Record, int AttrID, Marking how>
bool mark_kept(uint64_t *masks, const unsigned char *rec, size_t whole, const Bounds<Record, AttrID> &bounds)
{
    constexpr size_t RecLen = sizeof(Record);
    uint64_t dropped = 0;
    for (size_t first = 0; first < whole; first += 64, rec += 64 * RecLen) {
        const size_t n = whole - first < 64 ? whole - first : 64;
        uint64_t mask = 0;
        size_t k = 0;
#ifdef __SSE2__
        if constexpr (how == Marking::sse2)
            for (; k + 8 <= n; k += 8)
                mask |= (uint64_t)holds8_sse2<Record, AttrID>(rec + k * RecLen, bounds) << k;
#endif
        for (; k < n; k++)
            mask |= (uint64_t)bounds.range.holds(extract<Record, AttrID>(rec + k * RecLen)) << k;
        masks[first / 64] = mask;
        dropped |= ~mask & (n == 64 ? ~0ull : (1ull << n) - 1);
    }
    return dropped == 0;
}

// The marking of `level`.
template <typename Record, int AttrID>
bool mark_chunk(KernelLevel level, uint64_t *masks, const unsigned char *rec, size_t whole,
                const Bounds<Record, AttrID> &bounds)
{
    switch (level) {
#ifdef __SSE2__
    case KernelLevel::sse2:
    case KernelLevel::sse41:
    case KernelLevel::avx: return mark_kept<Record, AttrID, Marking::sse2>(masks, rec, whole, bounds);
#endif
    default: return mark_kept<Record, AttrID, Marking::scalar>(masks, rec, whole, bounds);
    }
}

#endif
