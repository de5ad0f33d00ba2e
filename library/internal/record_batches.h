// The header block and the point records read whole, a batch of records per
// read call, by the header rescan and the filter pass. Internal to the
// project.
#ifndef RECORD_BATCHES_H
#define RECORD_BATCHES_H

#include "Kelvory_LiDAR.h"

#include <cstddef>
#include <cstdio>

// Records per batch. A whole number of 4096-byte blocks for every record
// length, so each batch is one direct read; about 1.1 MB for the largest.
constexpr size_t kBatchRecords = 32768;

// Streams that move whole batches go unbuffered: each batch is then one
// read or write call, straight between the file and the caller's area.
inline void stream_whole_batches(FILE *fp)
{
    setvbuf(fp, nullptr, _IONBF, 0);
}

// Reads the 227-byte header block from the stream's position into `ph`.
// False when the read fails (file_error tells) or the file ends first; the
// caller says which, the latter with header_too_short.
bool read_header_block(FILE *fp, LAS12Header *ph);
void header_too_short(const char *filename);

// Reads the next batch of whole records of `reclen` bytes into `buf`, which
// holds kBatchRecords of them, and returns how many were read. `*more` turns
// false at the end of the file or on a read error (file_error tells which); a
// trailing piece shorter than a record is not a record.
size_t read_record_batch(FILE *fp, unsigned char *buf, size_t reclen, bool *more);

#endif
