// The library's routines that end the process on a refusal (update_header,
// check_numeric_argument, check_DEM), and check_las, as routines that print
// exactly the same messages but return a status instead, so that the tool
// and the fuzz targets can go on after them. The exported routines wrap
// these. Internal to the project.
#ifndef STATUS_ROUTINES_H
#define STATUS_ROUTINES_H

#include "internal/kernel_levels.h"

#include <stddef.h>
#include <stdint.h>

// update_header_status: 0 when the header was rewritten, -1 when the file
// could not be examined, read or written (it is then no result), and
// UPDATE_NAME_REFUSED when its name does not end in ".las" (nothing was
// touched; the caller decides whether the file stays). The records are
// summarized at `level`.
#define UPDATE_NAME_REFUSED (-2)
int16_t update_header_status(const char *filename, KernelLevel level);

// The same, rescanning the records in `area` of `area_size` bytes instead of
// an area of its own, so that a caller's pages, already in memory, serve
// again. The area comes from alloc_blocks and must hold
// area_bytes(kBatchRecords x the file's record length); a smaller one is
// refused (-1, with a message) before the file is opened.
int16_t update_header_in(const char *filename, unsigned char *area, size_t area_size, KernelLevel level);

// check_las, also telling whether the refusal was the name's extension.
int16_t check_las_why(const char *filename, bool *name_refused);
int16_t check_numeric_argument_status(const char *str);
int16_t check_DEM_status(const char *str);

#endif
