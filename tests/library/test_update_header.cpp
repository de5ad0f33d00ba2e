// Header recomputation through the shared library: counts, counts by return
// and extents rewritten in place, every other byte left as it was.
#include "file_compare.h"
#include "las_writer.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

class UpdateHeader : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("f.las");

    // Writes the file with a header whose counts and extents are all wrong,
    // then lets update_header rewrite them.
    RunResult update(LasOptions opts, const std::vector<LasPoint> &points)
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
        return run_request("update_header", {path});
    }

    // After the update the file is byte for byte what the writer makes with
    // true counts and extents.
    void expect_true_header(const LasOptions &opts, const std::vector<LasPoint> &points)
    {
        RunResult r = update(opts, points);
        EXPECT_EQ(r.out, "\rHeader of file " + path + " has been updated    ");
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(same_las_bytes(read_file(path), las_image(opts, points)));
    }
};

TEST_F(UpdateHeader, rewrites_counts_and_extents_and_nothing_else)
{
    LasOptions opts;
    opts.offset[0] = 1000.0;
    opts.vlr_bytes = make_vlr("LASF_Projection", 2112, "WKT", std::vector<uint8_t>(20, 'w'));
    opts.vlr_count = 1;
    std::vector<LasPoint> points(3);
    points[0].X = -1; points[0].Y = 5; points[0].Z = 7; points[0].bitfield = 0x09;
    points[1].X = 20; points[1].Y = -5; points[1].Z = 9; points[1].bitfield = 0x12;
    points[2].X = 3; points[2].Y = 0; points[2].Z = -2; points[2].bitfield = 0x1A;
    expect_true_header(opts, points);
    EXPECT_EQ(+header_of(read_file(path)).MinX, 999.99);  // stored -1, scale 0.01, offset 1000
}

TEST_F(UpdateHeader, a_file_without_records_gets_the_start_values)
{
    LasOptions opts;
    opts.scale[2] = 0.001;
    opts.offset[2] = 50.0;
    RunResult r = update(opts, {});
    EXPECT_EQ(r.status, 0);
    LAS12Header h = header_of(read_file(path));
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
    RunResult r = update(opts, std::vector<LasPoint>(4));
    EXPECT_EQ(r.status, 0);
    LAS12Header h = header_of(read_file(path));
    EXPECT_EQ(+h.NumberOfPointReturns, 0u);
    EXPECT_EQ(+h.MaxZ, -10000000 * 0.01);
}

TEST_F(UpdateHeader, extents_bound_the_records_whatever_their_stored_values)
{
    // Stored Z above and below the traditional start values of +-10,000,000,
    // X and Y at the ends of the 32-bit range.
    std::vector<LasPoint> points(2);
    points[0].X = INT32_MIN; points[0].Y = INT32_MAX; points[0].Z = 20000000;
    points[1].X = INT32_MIN + 1; points[1].Y = INT32_MAX; points[1].Z = 30000000;
    expect_true_header(LasOptions(), points);
    EXPECT_EQ(+header_of(read_file(path)).MinZ, 20000000 * 0.01);
    points[0].Z = -20000000;
    points[1].Z = -30000000;
    expect_true_header(LasOptions(), points);
    EXPECT_EQ(+header_of(read_file(path)).MaxZ, -20000000 * 0.01);
}

TEST_F(UpdateHeader, counts_returns_zero_six_and_seven_in_the_total_only)
{
    std::vector<LasPoint> points(5);
    const uint8_t returns[5] = {0, 6, 7, 5, 0xC9};
    for (int i = 0; i < 5; i++)
        points[i].bitfield = returns[i];
    expect_true_header(LasOptions(), points);
    LAS12Header h = header_of(read_file(path));
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
    std::vector<unsigned char> bytes = las_image(LasOptions(), std::vector<LasPoint>(2));
    write_file(path, bytes);
    RunResult r = run_request("update_header", {path});
    EXPECT_EQ(r.out, "\nFile extension of " + path + " is not .las\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(same_las_bytes(read_file(path), bytes));
}

TEST_F(UpdateHeader, refuses_a_file_shorter_than_the_header_block_without_writing)
{
    std::vector<unsigned char> bytes = las_image(LasOptions(), {});
    bytes.resize(150);  // holds every field the input check reads
    write_file(path, bytes);
    RunResult r = run_request("update_header", {path});
    EXPECT_EQ(r.out, "\nFile " + path + " is too short to hold a LAS header block\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(same_las_bytes(read_file(path), bytes));
}

}  // namespace
