// Marking the records of a chunk that the bounds hold, a bit per record.
// The algorithm once, with the test of eight records at a time left to each
// level's variant (`mark_plain` here, one record at a time: the definition).
// Internal to the scan kernel.
#ifndef MARKS_H
#define MARKS_H

#include "attributes/attributes.h"
#include "internal/record_load.h"
#include "scan/bounds.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

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

// Marks the records of a chunk that the bounds hold, a bit each in `masks`
// (one word per 64 records), with no branch on the data, and tells whether
// it holds them all. `eights(rec)` tells which of the eight records from
// `rec` the bounds hold, a bit each; without it (nullptr) every record is
// tested alone, as are the last ones of each 64 with it.
template <typename Record, int AttrID, typename Eights = std::nullptr_t>
bool mark_kept(uint64_t *masks, const unsigned char *rec, size_t whole, const Bounds<Record, AttrID> &bounds,
               Eights eights = nullptr)
{
    constexpr size_t RecLen = sizeof(Record);
    uint64_t dropped = 0;
    for (size_t first = 0; first < whole; first += 64, rec += 64 * RecLen) {
        const size_t n = whole - first < 64 ? whole - first : 64;
        uint64_t mask = 0;
        size_t k = 0;
        if constexpr (!std::is_same_v<Eights, std::nullptr_t>)
            for (; k + 8 <= n; k += 8)
                mask |= (uint64_t)eights(rec + k * RecLen) << k;
        for (; k < n; k++)
            mask |= (uint64_t)bounds.range.holds(extract<Record, AttrID>(rec + k * RecLen)) << k;
        masks[first / 64] = mask;
        dropped |= ~mask & (n == 64 ? ~0ull : (1ull << n) - 1);
    }
    return dropped == 0;
}

template <typename Record, int AttrID>
bool mark_plain(uint64_t *masks, const unsigned char *rec, size_t whole, const Bounds<Record, AttrID> &bounds)
{
    return mark_kept<Record, AttrID>(masks, rec, whole, bounds);
}

#endif
