// Copying the marked records of a chunk to the output area, in 16-byte
// pieces or, where the processor has AVX, in 32-byte ones. Internal to the
// scan kernel.
#ifndef SCAN_COPY_H
#define SCAN_COPY_H

#include "test_seam.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

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

inline bool has_avx()
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

inline bool has_avx()
{
    return false;
}
#endif

#endif
