// A request's bounds as the scan compares them: converted to stored units
// for the coordinates, then as a closed range in the attribute's own type
// and, for attributes of at most 16 bits, in 16-bit lanes. Internal to the
// scan kernel.
#ifndef BOUNDS_H
#define BOUNDS_H

#include "Kelvory_LiDAR.h"
#include "attributes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Converts coordinate bounds from real-world units to the file's stored
// units, with the header's scale and offset of the attribute's axis; other
// bounds stay as they are.
void convert_bounds(const LAS12Header &h, int16_t AttrID, double &lo, double &hi);

// The type an attribute's values are compared in: the double a GPS time is,
// or a 32-bit integer, which holds every integer field's values.
template <typename Record, int AttrID>
using Value = std::conditional_t<std::is_floating_point_v<FieldOf<Record, AttrID>>, double, int32_t>;

// The least and greatest values of an integer attribute: its field type's,
// or those of its bits.
template <typename Record, int AttrID>
constexpr int32_t kLeast =
    Attribute<AttrID>::kBits ? 0 : (int32_t)std::numeric_limits<FieldOf<Record, AttrID>>::min();
template <typename Record, int AttrID>
constexpr int32_t kMost = Attribute<AttrID>::kBits
                              ? (int32_t)((1u << Attribute<AttrID>::kBits) - 1)
                              : (int32_t)std::numeric_limits<FieldOf<Record, AttrID>>::max();

// Attributes whose field is an integer of at most 16 bits can be compared in
// 16-bit lanes.
template <typename Record, int AttrID>
constexpr bool kNarrow =
    std::is_integral_v<FieldOf<Record, AttrID>> && sizeof(FieldOf<Record, AttrID>) <= 2;

// The closed range [lo, hi] in the attribute's own type. A NaN bound, like a
// NaN value, lets nothing pass.
template <typename T>
struct Range {
    T lo, hi;
    bool holds(T v) const { return (lo <= v) & (v <= hi); }
};

// Integer fields: one unsigned comparison, v - lo <= span, and `any` (all
// ones, or zero for a range that holds no 32-bit value).
template <>
struct Range<int32_t> {
    int32_t lo;
    uint32_t span;
    uint32_t any;
    bool holds(int32_t v) const { return ((uint32_t)v - (uint32_t)lo <= span) & (any != 0); }
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
// A range in 16-bit lanes: v - lo <= span, unsigned, with the sign bits
// flipped for the signed comparison; `any` is 0xff, or 0 when the range
// holds none of the attribute's values.
struct Lanes16 {
    __m128i lo, span;
    unsigned any;
};

// The range clamped to the attribute's values, which fit 16 bits.
template <typename Record, int AttrID>
Lanes16 lanes16(const Range<int32_t> &range)
{
    const int64_t l = std::max<int64_t>(range.lo, kLeast<Record, AttrID>);
    const int64_t h = std::min<int64_t>((int64_t)range.lo + range.span, kMost<Record, AttrID>);
    if (!range.any || l > h)
        return {_mm_setzero_si128(), _mm_setzero_si128(), 0};
    return {_mm_set1_epi16((short)(uint16_t)l), _mm_set1_epi16((short)(uint16_t)((h - l) ^ 0x8000)), 0xffu};
}
#endif

// What a scan compares with, made once per scan: the range in the
// attribute's own type and, for narrow attributes, the same in 16-bit lanes.
template <typename Record, int AttrID>
struct Bounds {
    Range<Value<Record, AttrID>> range;
#ifdef __SSE2__
    Lanes16 narrow;
#endif
};

template <typename Record, int AttrID>
Bounds<Record, AttrID> bounds_of(double lo, double hi)
{
    Bounds<Record, AttrID> b{};
    b.range = range_of<Value<Record, AttrID>>(lo, hi);
#ifdef __SSE2__
    if constexpr (kNarrow<Record, AttrID>)
        b.narrow = lanes16<Record, AttrID>(b.range);
#endif
    return b;
}

#endif
