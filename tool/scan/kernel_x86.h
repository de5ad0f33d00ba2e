// The scan kernel's x86 code: marking eight records at a time with SSE2
// lanes, and copying kept records with 32-byte AVX stores. Built for other
// processors, the x86 levels are never available and their variants stand
// in for the generic ones. Internal to the scan kernel.
#ifndef KERNEL_X86_H
#define KERNEL_X86_H

#include "scan/bounds.h"
#include "scan/copy.h"
#include "scan/marks.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>

// A narrow range in 16-bit lanes, with the sign bits flipped for SSE2's
// signed comparison.
struct Lanes16 {
    __m128i lo, span;
    unsigned any;
};

inline Lanes16 lanes16(const Range16 &r)
{
    return {_mm_set1_epi16((short)r.lo), _mm_set1_epi16((short)(uint16_t)(r.span ^ 0x8000)), r.any};
}

// The values of a narrow attribute in 16-bit lanes, from the 16-bit word
// that starts at the field in each record.
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
unsigned holds8_sse2(const unsigned char *rec, const Bounds<Record, AttrID> &bounds, const Lanes16 &narrow)
{
    constexpr size_t RecLen = sizeof(Record);
    auto at = [rec](size_t k) { return extract<Record, AttrID>(rec + k * RecLen); };
    if constexpr (kNarrow<Record, AttrID>) {
        return holds8_narrow<Record, AttrID>(rec, narrow);
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

// Eight records at a time with SSE2, the rest one by one.
template <typename Record, int AttrID>
bool mark_sse2(uint64_t *masks, const unsigned char *rec, size_t whole, const Bounds<Record, AttrID> &bounds)
{
    const Lanes16 narrow = lanes16(bounds.narrow);
    return mark_kept<Record, AttrID>(masks, rec, whole, bounds, [&](const unsigned char *eight) {
        return holds8_sse2<Record, AttrID>(eight, bounds, narrow);
    });
}

// One 32-byte store per record (and two bytes more for the 34-byte layout):
// the copy is bound by stores, and 16-byte pieces take two or three. Records
// go two at a time, the second of an odd count being a stand-in that the next
// record overwrites; a record's 32 bytes may also run past its end. So up to
// two records' bytes land beyond the last one copied (kCopyOverrun).
template <size_t RecLen>
__attribute__((target("avx,popcnt"))) unsigned char *copy_avx(unsigned char *to, const unsigned char *rec,
                                                             size_t whole, const uint64_t *masks)
{
    typedef unsigned char Wide __attribute__((vector_size(32)));
    static_assert(RecLen >= 16 && RecLen <= sizeof(Wide) + 2, "a record is one wide piece and a tail");
    static_assert(2 * RecLen <= kCopyOverrun, "the stand-in and the overrun fit the ring's spare room");
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

#else

template <typename Record, int AttrID>
bool mark_sse2(uint64_t *masks, const unsigned char *rec, size_t whole, const Bounds<Record, AttrID> &bounds)
{
    return mark_plain<Record, AttrID>(masks, rec, whole, bounds);
}

template <size_t RecLen>
unsigned char *copy_avx(unsigned char *to, const unsigned char *rec, size_t whole, const uint64_t *masks)
{
    return copy_pieces<RecLen>(to, rec, whole, masks);
}

#endif

#endif
