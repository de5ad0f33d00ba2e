// Copying the marked records of a chunk to the output's ring: one record at
// a time (the definition), or in 16-byte pieces. Internal to the scan kernel.
#ifndef COPY_H
#define COPY_H

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

#endif
