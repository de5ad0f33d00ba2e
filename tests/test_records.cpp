// The record layouts as byte images, and the map from file kind to layout.
#include "Kelvory_LiDAR.h"

#include <gtest/gtest.h>


extern "C" int c_record_sizes_match(void);

namespace {

TEST(Records, header_compiles_as_c_with_the_same_sizes)
{
    EXPECT_TRUE(c_record_sizes_match());
}

TEST(Records, kind_selects_record_length_and_gps_time)
{
    const uint16_t length[9] = {0, 20, 28, 20, 28, 20, 28, 26, 34};
    const bool gps[9] = {false, false, true, false, true, false, true, false, true};
    for (LASType kind = 0; kind <= 8; kind++) {
        EXPECT_EQ(las_record_length(kind), length[kind]) << kind;
        EXPECT_EQ(las_has_gps_time(kind) != 0, gps[kind]) << kind;
    }
    EXPECT_EQ(las_record_length(-1), 0);
}

}  // namespace
