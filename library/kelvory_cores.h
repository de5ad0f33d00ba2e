// Status-returning cores of the library routines that end the process on a
// refusal. The exported routines are thin wrappers around these; the cores
// print exactly the same messages but return -1 instead of exiting, so the
// tool and the fuzz targets can call them. Internal to the project.
#ifndef KELVORY_CORES_H
#define KELVORY_CORES_H

#include <stdint.h>

int16_t update_header_status(const char *filename);
int16_t check_numeric_argument_status(const char *str);
int16_t check_DEM_status(const char *str);

#endif
