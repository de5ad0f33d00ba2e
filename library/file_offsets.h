// 64-bit file offsets on every platform (long is 32 bits on Windows), and
// the header block read from the start of a file. Internal to the project.
#ifndef FILE_OFFSETS_H
#define FILE_OFFSETS_H

#include "Kelvory_LiDAR.h"

#include <cstdint>
#include <cstdio>

// Seeks to `offset` from the start of the file; 0 on success.
int seek_to(FILE *fp, uint64_t offset);

// The size of the open file, or 0 when it cannot be told.
uint64_t file_size(FILE *fp);

// Reads the 227-byte header block from the stream's position into `ph`.
// Returns 0, or -1 after printing why: `read_error` (a format with one %s,
// the file name) when the read fails, the same message for every caller when
// the file ends before the block does.
int16_t read_header_block(FILE *fp, const char *filename, const char *read_error, LAS12Header *ph);

#endif
