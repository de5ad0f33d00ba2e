/* The public header in a C program of the oldest standard it supports: the
 * build compiles this file as C89 and as C99, pedantic, warnings as errors. */
#include "Kelvory_LiDAR.h"

int header_check_record_length(LASType kind)
{
    return las_record_length(kind) + las_has_gps_time(kind);
}
