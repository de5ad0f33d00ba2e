// Point records read whole, in batches, by the header rescan and the filter
// pass; and typed loads of their fields. Internal to the project.
#ifndef RECORD_IO_H
#define RECORD_IO_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

// Records per batch. A whole number of 4096-byte blocks for every record
// length, so each batch is one direct read; about 1.1 MB for the largest.
constexpr size_t kBatchRecords = 32768;

// The value of type T whose bytes start at `p` (records are byte images with
// no alignment, so the bytes are copied, never referenced in place).
template <typename T>
T load(const unsigned char *p)
{
    T v;
    memcpy(&v, p, sizeof v);
    return v;
}

// Field `name` of the record struct `Record` whose bytes start at `rec`.
#define LOAD_FIELD(Record, name, rec) \
    load<decltype(Record::name)>((rec) + offsetof(Record, name))

// Streams that move whole batches go unbuffered: each batch is then one
// read or write call, straight between the file and the caller's buffer.
inline void stream_whole_batches(FILE *fp)
{
    setvbuf(fp, nullptr, _IONBF, 0);
}

// Batches move between files and buffers by whole blocks when a buffer's
// address and the file offset agree within a block: the system's copy then
// runs at full speed, where a few bytes of skew can make it several times
// slower. Buffers are therefore taken block-aligned, with a block to spare,
// and the bytes at file offset `pos` are placed at block_place(area, pos).
constexpr size_t kBlockBytes = 4096;

// A block-aligned area of `bytes` and one block more; null without memory.
unsigned char *alloc_blocks(size_t bytes);
void free_blocks(unsigned char *area);

inline unsigned char *block_place(unsigned char *area, uint64_t pos)
{
    return area + pos % kBlockBytes;
}

// The size of the open file, or 0 when it cannot be told.
uint64_t file_size(FILE *fp);

// Reads the next batch of whole records of `reclen` bytes into `buf`, which
// holds kBatchRecords of them, and returns how many were read. `*more` turns
// false at the end of the file or on a read error (ferror tells which); a
// trailing piece shorter than a record is not a record.
size_t read_record_batch(FILE *fp, unsigned char *buf, size_t reclen, bool *more);

// Seeks to `offset` from the start of the file; 0 on success. A 64-bit seek
// on every platform, as long is 32 bits on Windows.
inline int seek_to(FILE *fp, uint64_t offset)
{
#ifdef _WIN32
    return _fseeki64(fp, (long long)offset, SEEK_SET);
#else
    return fseeko(fp, (off_t)offset, SEEK_SET);
#endif
}

#endif
