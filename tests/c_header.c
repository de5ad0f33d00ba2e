/* The chief header compiles as C and gives C the same record sizes. */
#include "Kelvory_LiDAR.h"

int c_record_sizes_match(void)
{
    return sizeof(LAS12Header) == 227 && sizeof(LAS11Header) == 227 &&
           sizeof(LAS10Header) == 227 && sizeof(LAS12fm0) == 20 && sizeof(LAS12fm1) == 28 &&
           sizeof(LAS12fm2) == 26 && sizeof(LAS12fm3) == 34 &&
           las_record_length(8) == 34 && las_has_gps_time(6);
}
