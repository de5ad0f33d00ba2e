// A request's bounds as the scan compares them: a closed range in the
// attribute's own type and, for attributes of at most 16 bits, the same
// clamped to 16 bits for lanes of that width. Internal to the scan kernel.
#ifndef BOUNDS_H
#define BOUNDS_H

#include "attributes/attributes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

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

// The range of a narrow attribute in 16 bits: v - lo <= span, unsigned;
// `any` is 0xff, or 0 when the range holds none of the attribute's values.
struct Range16 {
    uint16_t lo, span;
    unsigned any;
};

// The range clamped to the attribute's values, which fit 16 bits.
template <typename Record, int AttrID>
Range16 range16_of(const Range<int32_t> &range)
{
    const int64_t l = std::max<int64_t>(range.lo, kLeast<Record, AttrID>);
    const int64_t h = std::min<int64_t>((int64_t)range.lo + range.span, kMost<Record, AttrID>);
    if (!range.any || l > h)
        return {0, 0, 0};
    return {(uint16_t)l, (uint16_t)(h - l), 0xffu};
}

// What a scan compares with, made once per scan: the range in the
// attribute's own type and, for narrow attributes, the same in 16 bits.
template <typename Record, int AttrID>
struct Bounds {
    Range<Value<Record, AttrID>> range;
    Range16 narrow;
};

template <typename Record, int AttrID>
Bounds<Record, AttrID> bounds_of(double lo, double hi)
{
    Bounds<Record, AttrID> b{};
    b.range = range_of<Value<Record, AttrID>>(lo, hi);
    if constexpr (kNarrow<Record, AttrID>)
        b.narrow = range16_of<Record, AttrID>(b.range);
    return b;
}

#endif
