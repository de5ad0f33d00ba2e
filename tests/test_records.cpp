// The record layouts as byte images, and the map from file kind to layout.
#include "las_writer.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(Records, fields_sit_at_their_file_offsets_in_every_format)
{
    LasPoint p;
    p.X = -1;
    p.Intensity = 0x1234;
    p.bitfield = 0xC9;
    p.Classification = 2;
    p.ScanAngleRank = -10;
    p.UserData = 0xAB;
    p.PointSourceID = 0xBEEF;
    p.GPSTime = 1.5;
    p.Red = 0x0102; p.Green = 0x0304; p.Blue = 0x0506;
    for (uint8_t format = 0; format < 4; format++) {
        unsigned char rec[34];
        memset(rec, 0, sizeof rec);
        encode_point(p, format, rec);
        EXPECT_EQ(rec[0], 0xFF);
        EXPECT_EQ(rec[3], 0xFF);
        EXPECT_EQ(rec[12], 0x34);
        EXPECT_EQ(rec[14], 0xC9);
        EXPECT_EQ(rec[15], 2);
        EXPECT_EQ(rec[16], 0xF6);
        EXPECT_EQ(rec[17], 0xAB);
        EXPECT_EQ(rec[18], 0xEF);
        size_t rgb = format == 2 ? 20 : 28;
        if (format == 1 || format == 3) {
            EXPECT_EQ(rec[27], 0x3F);  // 1.5 as a little-endian double
        }
        if (format >= 2) {
            EXPECT_EQ(rec[rgb], 0x02);
            EXPECT_EQ(rec[rgb + 5], 0x05);
        }
        LasPoint back = decode_point(rec, format);
        EXPECT_EQ(back.X, -1);
        EXPECT_EQ(back.ScanAngleRank, -10);
        EXPECT_EQ(back.Blue, format >= 2 ? 0x0506 : 0);
    }
}

}  // namespace
