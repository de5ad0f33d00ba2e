// Header recomputation through the shared library: counts, counts by return
// and extents rewritten in place, every other byte left as it was.
#include "file_compare.h"
#include "las_writer.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

LasPoint point(int32_t x, int32_t y, int32_t z, uint8_t bitfield = 0x09)
{
    LasPoint p;
    p.X = x, p.Y = y, p.Z = z, p.bitfield = bitfield;
    return p;
}

class UpdateHeader : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("f.las");

    // Writes the file with a header whose counts and extents are all wrong,
    // lets update_header rewrite them and returns the header it leaves.
    LAS12Header update(LasOptions opts, const std::vector<LasPoint> &points)
    {
        opts.claim_count = true;
        opts.claimed = 12345;
        std::vector<unsigned char> bytes = las_image(opts, points);
        LAS12Header h = header_of(bytes);
        h.MaxX = h.MinX = h.MaxY = h.MinY = h.MaxZ = h.MinZ = 77.0;
        for (int i = 0; i < 5; i++)
            h.NumberOfPointsByReturn[i] = 9;
        memcpy(bytes.data(), &h, sizeof h);
        EXPECT_TRUE(write_file(path, bytes));
        RunResult r = run_request("update_header", {path});
        EXPECT_EQ(r.out, "\rHeader of file " + path + " has been updated    ");
        EXPECT_EQ(r.status, 0);
        return header_of(read_file(path));
    }

    // After the update the file is byte for byte what the writer makes with
    // true counts and extents.
    LAS12Header expect_true_header(const LasOptions &opts, const std::vector<LasPoint> &points)
    {
        LAS12Header h = update(opts, points);
        EXPECT_TRUE(same_las_bytes(read_file(path), las_image(opts, points)));
        return h;
    }

    // update_header refuses the file with `message` and leaves it as it was.
    void expect_refused(const std::vector<unsigned char> &bytes, const std::string &message)
    {
        ASSERT_TRUE(write_file(path, bytes));
        RunResult r = run_request("update_header", {path});
        EXPECT_EQ(r.out, message);
        EXPECT_EQ(r.status, 255);
        EXPECT_TRUE(same_las_bytes(read_file(path), bytes));
    }
};

TEST_F(UpdateHeader, rewrites_counts_and_extents_and_nothing_else)
{
    LasOptions opts;
    opts.offset[0] = 1000.0;
    opts.vlr_bytes = make_vlr("LASF_Projection", 2112, "WKT", std::vector<uint8_t>(20, 'w'));
    opts.vlr_count = 1;
    LAS12Header h =
        expect_true_header(opts, {point(-1, 5, 7, 0x09), point(20, -5, 9, 0x12), point(3, 0, -2, 0x1A)});
    EXPECT_EQ(+h.MinX, 999.99);  // stored -1, scale 0.01, offset 1000
}

TEST_F(UpdateHeader, a_file_without_records_gets_the_start_values)
{
    LasOptions opts;
    opts.scale[2] = 0.001;
    opts.offset[2] = 50.0;
    LAS12Header h = update(opts, {});
    EXPECT_EQ(+h.NumberOfPointReturns, 0u);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(+h.NumberOfPointsByReturn[i], 0u);
    EXPECT_EQ(+h.MaxX, -2147483646 * 0.01);
    EXPECT_EQ(+h.MinX, 2147483646 * 0.01);
    EXPECT_EQ(+h.MaxY, -2147483646 * 0.01);
    EXPECT_EQ(+h.MinY, 2147483646 * 0.01);
    EXPECT_EQ(+h.MaxZ, -10000000 * 0.001 + 50.0);
    EXPECT_EQ(+h.MinZ, 10000000 * 0.001 + 50.0);
}

TEST_F(UpdateHeader, a_file_without_a_record_layout_is_treated_as_empty)
{
    LasOptions opts;
    opts.VersionMinor = 0;
    opts.PointDataFormatID = 2;
    LAS12Header h = update(opts, std::vector<LasPoint>(4));
    EXPECT_EQ(+h.NumberOfPointReturns, 0u);
    EXPECT_EQ(+h.MaxZ, -10000000 * 0.01);
}

TEST_F(UpdateHeader, extents_bound_the_records_whatever_their_stored_values)
{
    // Stored Z above and below the traditional start values of +-10,000,000,
    // X and Y at the ends of the 32-bit range.
    LAS12Header h = expect_true_header(
        LasOptions(), {point(INT32_MIN, INT32_MAX, 20000000), point(INT32_MIN + 1, INT32_MAX, 30000000)});
    EXPECT_EQ(+h.MinZ, 20000000 * 0.01);
    h = expect_true_header(LasOptions(), {point(INT32_MIN, INT32_MAX, -20000000),
                                          point(INT32_MIN + 1, INT32_MAX, -30000000)});
    EXPECT_EQ(+h.MaxZ, -20000000 * 0.01);
}

TEST_F(UpdateHeader, counts_returns_zero_six_and_seven_in_the_total_only)
{
    std::vector<LasPoint> points;
    for (uint8_t bitfield : {0, 6, 7, 5, 0xC9})
        points.push_back(point(0, 0, 0, bitfield));
    LAS12Header h = expect_true_header(LasOptions(), points);
    EXPECT_EQ(+h.NumberOfPointReturns, 5u);
    EXPECT_EQ(+h.NumberOfPointsByReturn[0], 1u);
    EXPECT_EQ(+h.NumberOfPointsByReturn[4], 1u);
}

TEST_F(UpdateHeader, ignores_a_trailing_partial_record)
{
    LasOptions opts;
    opts.PointDataFormatID = 3;
    opts.trailing.assign(33, 0x7F);  // would be a huge X if it were read
    expect_true_header(opts, std::vector<LasPoint>(2));
}

TEST_F(UpdateHeader, refuses_a_name_without_las_extension_before_opening_it)
{
    path = dir.file("f.txt");
    expect_refused(las_image(LasOptions(), std::vector<LasPoint>(2)),
                   "\nFile extension of " + path + " is not .las\n");
}

TEST_F(UpdateHeader, refuses_a_file_shorter_than_the_header_block_without_writing)
{
    std::vector<unsigned char> bytes = las_image(LasOptions(), {});
    bytes.resize(150);  // holds every field the input check reads
    expect_refused(bytes, "\nFile " + path + " is too short to hold a LAS header block\n\n");
}

}  // namespace
