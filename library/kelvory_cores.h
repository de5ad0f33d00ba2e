// Status-returning cores of the library routines that end the process on a
// refusal. The exported routines are thin wrappers around these; the cores
// print exactly the same messages but return -1 instead of exiting, so the
// tool and the fuzz targets can call them. Internal to the project.
#ifndef KELVORY_CORES_H
#define KELVORY_CORES_H

#include <stdint.h>

// update_header_status: 0 when the header was rewritten, -1 when the file
// could not be examined, read or written (it is then no result), and
// UPDATE_NAME_REFUSED when its name does not end in ".las" (nothing was
// touched; the caller decides whether the file stays).
#define UPDATE_NAME_REFUSED (-2)
int16_t update_header_status(const char *filename);
// The same, rescanning the records in `area` (from alloc_blocks, room for
// kBatchRecords records of the largest layout) instead of an area of its own,
// so that a caller's pages, already in memory, serve again.
int16_t update_header_in(const char *filename, unsigned char *area);

// check_las, also telling whether the refusal was the name's extension.
int16_t check_las_why(const char *filename, bool *name_refused);
int16_t check_numeric_argument_status(const char *str);
int16_t check_DEM_status(const char *str);

#endif
