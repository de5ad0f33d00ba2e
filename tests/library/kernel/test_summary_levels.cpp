// The header update's summary at every kernel level against an independent
// reading, through the library's routine in a child process, and the area
// the tool lends it.
#include "file_compare.h"
#include "las_writer.h"
#include "levels.h"
#include "run_tool.h"

#include "internal/block_areas.h"
#include "internal/record_batches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Random records, more than a batch and not a whole number of the summary's
// runs, with the coordinate extremes and every return number among them.
std::vector<unsigned char> random_file(uint8_t format, size_t count, std::mt19937 &rng)
{
    std::vector<LasPoint> points(count);
    for (size_t i = 0; i < count; i++) {
        LasPoint &p = points[i];
        p.X = (int32_t)rng();
        p.Y = (int32_t)(rng() % 2001) - 1000;
        p.Z = i % 5 == 0 ? (int32_t)rng() : (int32_t)(rng() % 7);
        p.bitfield = (uint8_t)rng();
    }
    points[count / 3].X = INT32_MIN;
    points[count / 2].Y = INT32_MAX;
    LasOptions opts;
    opts.PointDataFormatID = format;
    opts.trailing.assign(5, 0xCD);  // a partial record, which is not counted
    return las_image(opts, points);
}

// The writer's header holds the true counts and extents of its records,
// from its own reading of them; the update, run on the file with those
// fields cleared, must write them back exactly.
TEST_P(EachLevel, summarizes_the_header_as_the_independent_reading)
{
    TempDir dir;
    std::mt19937 rng(7);
    for (uint8_t format = 0; format < 4; format++)
        for (size_t count : {(size_t)1, (size_t)2, (size_t)255, (size_t)256, (size_t)509, kBatchRecords + 777}) {
            SCOPED_TRACE("format " + std::to_string(format) + ", " + std::to_string(count) + " records");
            const std::vector<unsigned char> file = random_file(format, count, rng);
            std::vector<unsigned char> cleared = file;
            std::fill(cleared.begin() + 107, cleared.begin() + 131, 0);  // the counts
            std::fill(cleared.begin() + 179, cleared.begin() + 227, 0);  // the extents
            const std::string path = dir.file("f.las");
            ASSERT_TRUE(write_file(path, cleared));
            RunResult r = run_request("update_header_status", {path, name_of(GetParam())});
            ASSERT_TRUE(r.returned && r.result == 0) << r.out;
            EXPECT_TRUE(same_las_bytes(read_file(path), file));
        }
}

// The tool hands the header update its own area, which must be large enough
// for a batch of the file's records.
TEST(SummaryLevels, header_update_refuses_an_area_too_small_before_opening_the_file)
{
    TempDir dir;
    std::mt19937 rng(3);
    const std::string path = dir.file("f.las");
    const std::vector<unsigned char> file = random_file(1, 10, rng);
    ASSERT_TRUE(write_file(path, file));
    const size_t needed = area_bytes(kBatchRecords * 28);
    RunResult small = run_request("update_header_in", {path, std::to_string(needed - 1)});
    EXPECT_EQ(small.out, "\nCannot allocate memory for storing a record of information from " + path + "\n");
    EXPECT_TRUE(small.returned && small.result == -1);
    EXPECT_TRUE(same_las_bytes(read_file(path), file));
    RunResult enough = run_request("update_header_in", {path, std::to_string(needed)});
    EXPECT_TRUE(enough.returned && enough.result == 0) << enough.out;
}

INSTANTIATE_TEST_SUITE_P(SummaryLevels, EachLevel, ::testing::ValuesIn(kLevels), level_test_name);

}  // namespace
