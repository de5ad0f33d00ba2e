// Copying the marked records of a chunk to the output's ring: one record at
// a time (the definition), in 16-byte pieces, or with 32-byte AVX stores.
// Internal to the scan kernel.
#ifndef SCAN_COPY_H
#define SCAN_COPY_H

#include "kernel_level.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// Each copy takes the marked records of a chunk, in order, to `to`, and
// returns the end of what it copied; the one branch that depends on the data
// ends a block of 64.

template <size_t RecLen>
unsigned char *copy_plain(unsigned char *to, const unsigned char *rec, size_t whole, const uint64_t *masks)
{
    for (size_t i = 0; i < whole; i++)
        if (masks[i / 64] >> (i % 64) & 1) {
            memcpy(to, rec + i * RecLen, RecLen);
            to += RecLen;
        }
    return to;
}

// One record in 16-byte pieces; the last piece ends with the record and may
// overlap the one before.
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

template <size_t RecLen>
unsigned char *copy_pieces(unsigned char *to, const unsigned char *rec, size_t whole, const uint64_t *masks)
{
    for (size_t first = 0; first < whole; first += 64, rec += 64 * RecLen) {
        for (uint64_t mask = masks[first / 64]; mask; mask &= mask - 1) {
            copy_record<RecLen>(to, rec + (size_t)__builtin_ctzll(mask) * RecLen);
            to += RecLen;
        }
    }
    return to;
}

// Up to this many bytes beyond the end of what a copy returns may be
// overwritten, where the ring has room to spare.
constexpr size_t kCopyOverrun = 2 * 34;

#ifdef __SSE2__
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
#endif

// The copy of `level`.
template <size_t RecLen>
unsigned char *copy_chunk(KernelLevel level, unsigned char *to, const unsigned char *rec, size_t whole,
                          const uint64_t *masks)
{
    switch (level) {
    case KernelLevel::scalar: return copy_plain<RecLen>(to, rec, whole, masks);
#ifdef __SSE2__
    case KernelLevel::avx: return copy_avx<RecLen>(to, rec, whole, masks);
#endif
    default: return copy_pieces<RecLen>(to, rec, whole, masks);
    }
}

#endif
