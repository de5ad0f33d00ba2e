// What a run keeps: every attribute on every layout against an independent
// reading, the bounds' conversion and edges, runs across batches, every
// kernel level through the whole tool, and point data past 2 GiB.
#include "filter_fixture.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

// Files past 2 GiB, read and written through 64-bit positions.
FILE *open_at(const std::string &path, const char *mode, uint64_t at)
{
    FILE *f = fopen(path.c_str(), mode);
#ifdef _WIN32
    if (f && _fseeki64(f, (long long)at, SEEK_SET) != 0) {
#else
    if (f && fseeko(f, (off_t)at, SEEK_SET) != 0) {
#endif
        fclose(f);
        return nullptr;
    }
    return f;
}

bool write_at(const std::string &path, uint64_t at, const std::vector<unsigned char> &bytes)
{
    FILE *f = open_at(path, "r+b", at);
    bool done = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return f && fclose(f) == 0 && done;
}

std::vector<unsigned char> read_range(const std::string &path, uint64_t at, size_t n)
{
    std::vector<unsigned char> bytes(n);
    FILE *f = open_at(path, "rb", at);
    bytes.resize(f ? fread(bytes.data(), 1, n, f) : 0);
    if (f)
        fclose(f);
    return bytes;
}

// Streams the file from `from` to `to` a mebibyte at a time.
::testing::AssertionResult zeros_between(const std::string &path, uint64_t from, uint64_t to)
{
    FILE *f = open_at(path, "rb", from);
    std::vector<unsigned char> chunk(1 << 20);
    for (uint64_t at = from; f && at < to;) {
        const size_t got = fread(chunk.data(), 1, (size_t)std::min<uint64_t>(chunk.size(), to - at), f);
        const auto nonzero = std::find_if(chunk.begin(), chunk.begin() + got, [](unsigned char b) { return b; });
        if (got == 0 || nonzero != chunk.begin() + got) {
            fclose(f);
            return ::testing::AssertionFailure() << "no written zero at byte " << at + (nonzero - chunk.begin());
        }
        at += got;
    }
    return f && fclose(f) == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "no " << path;
}

TEST_F(Filter, keeps_both_ends_of_the_range_for_every_attribute_on_every_layout)
{
    for (uint8_t format = 0; format < 4; format++) {
        LasOptions opts;
        opts.PointDataFormatID = format;
        opts.scale[2] = 0.001;
        opts.offset[0] = 1000.0;
        std::vector<LasPoint> points = ramp(200);
        make_input(opts, points);
        for (int attr = 1; attr <= 13; attr++) {
            if (attr == 13 && (format == 0 || format == 2))
                continue;
            Expected e = expect_filter_between(attr, points[10], points[20], opts, 6);
            EXPECT_GE(e.kept, 1u) << "format " << int(format) << " attribute " << attr;
        }
    }
}

TEST_F(Filter, matches_an_independent_reading_on_random_inputs)
{
    std::mt19937 rng(20261208);
    for (int round = 0; round < 40; round++) {
        LasOptions opts;
        opts.VersionMinor = rng() % 3;
        opts.PointDataFormatID = opts.VersionMinor == 2 ? rng() % 4 : rng() % 2;
        opts.scale[0] = (rng() % 2) ? 0.01 : 0.001;
        opts.offset[1] = (double)(rng() % 100000);
        if (rng() % 2) {
            opts.vlr_bytes = make_vlr("Quorvane", 1, "random", std::vector<uint8_t>(rng() % 40, 7));
            opts.vlr_count = 1;
        }
        std::vector<LasPoint> points;
        size_t n = 1 + rng() % 300;
        for (size_t i = 0; i < n; i++) {
            LasPoint p = synthetic_point(i, rng());
            p.bitfield = (uint8_t)rng();
            points.push_back(p);
        }
        opts.trailing.assign(rng() % 3 ? 0 : 1 + rng() % 19, 0xAB);
        make_input(opts, points);
        int attr = 1 + rng() % 13;
        if (attr == 13 && (opts.PointDataFormatID % 2 == 0))
            attr = 9;
        expect_filter_between(attr, points[rng() % n], points[rng() % n], opts, 3);
    }
}

TEST_F(Filter, converts_coordinate_bounds_with_scale_and_offset)
{
    LasOptions opts;
    opts.offset[0] = 1000.0;  // scale 0.01
    std::vector<int32_t> xs;
    for (int32_t x = -5; x <= 60; x++)
        xs.push_back(x);
    std::vector<LasPoint> points = points_with(xs, [](LasPoint &p, int32_t x) { p.X = x; });
    make_input(opts, points);
    EXPECT_EQ(expect_filter_matches(1, "1000", "1000.5").kept, 51u);  // stored X 0 to 50
    EXPECT_EQ(expect_filter_matches(1, "999.985", "999.995").kept, 1u);  // stored -1 is 999.99
    // Bounds between two stored values are not rounded: 1000.005 is 0.5.
    EXPECT_EQ(expect_filter_matches(1, "1000.005", "1000.015").kept, 1u);
    // Nor when the offset is large next to the scale: 100000000.000001 is
    // 3.33 stored units, not 3.
    opts.scale[0] = 3e-7;
    opts.offset[0] = 1e8;
    make_input(opts, {points.begin() + 8, points.begin() + 11});  // stored X 3 to 5
    EXPECT_EQ(expect_filter_matches(1, "100000000.000001", "100000001").kept, 2u);
}

// A coordinate typed as a value the file stores selects exactly the records
// that store it, whatever the scale and offset. The texts are made from the
// stored integer in decimal arithmetic, as a user would read them.
// Degrees at a scale of 0.0000001: a stored latitude has seven decimals, one
// more than the argument check passes unless the seventh rounds the sixth up.
// After a space it always passes and selects exactly what is stored.
TEST_F(Filter, a_degree_value_with_seven_decimals_passes_after_a_space)
{
    LasOptions opts;
    opts.scale[1] = 1e-7;
    make_input(opts, points_with(std::vector<int32_t>{440565881, 440565882, 440565882, 440565883, 440565886},
                                 [](LasPoint &p, int32_t y) { p.Y = y; }));
    RunResult refused = filter(2, "44.0565882", "44.0565882");
    EXPECT_NE(refused.out.find("\nError in specified minimum Attribute value\n"), std::string::npos) << refused.out;
    EXPECT_EQ(refused.status, 255);
    EXPECT_EQ(expect_filter_matches(2, " 44.0565882", " 44.0565882").kept, 2u);
    EXPECT_EQ(expect_filter_matches(2, "44.0565886", "44.0565886").kept, 1u);
    EXPECT_EQ(expect_filter_matches(2, " 44.0565881", " 44.0565883").kept, 4u);
}

// The class is bits 0 to 4 of the byte; the flags above it (32 synthetic,
// 64 key-point, 128 withheld) take part in the comparison.
TEST_F(Filter, classification_compares_the_whole_byte_with_its_flags)
{
    make_input(LasOptions(), points_with(std::vector<uint8_t>{2, 34, 66, 130, 5, 2},
                                         [](LasPoint &p, uint8_t byte) { p.Classification = byte; }));
    EXPECT_EQ(expect_filter_matches(9, "2", "2").kept, 2u);    // unflagged ground only
    EXPECT_EQ(expect_filter_matches(9, "0", "31").kept, 3u);   // no flag at all
    EXPECT_EQ(expect_filter_matches(9, "0", "127").kept, 5u);  // all but the withheld
    EXPECT_EQ(expect_filter_matches(9, "34", "34").kept, 1u);  // synthetic ground
}

TEST_F(Filter, a_coordinate_typed_as_a_stored_value_keeps_the_records_storing_it)
{
    struct Case { int decimals; const char *offset; int64_t offset_units; };
    const Case cases[] = {{2, "0", 0}, {2, "1000", 100000}, {2, "4000000", 400000000},
                          {2, "-123", -12300}, {3, "0", 0}, {3, "1000", 1000000},
                          {3, "4000000", 4000000000}, {3, "-123", -123000},
                          {7, "0", 0}, {7, "1000", 10000000000}, {7, "4000000", 40000000000000},
                          {7, "-123", -1230000000}};
    const int32_t stored[] = {28, -28, 1, -1, 12345, -99990, 2000000000, -2000000000, 7, 0};
    for (const Case &c : cases) {
        // With seven decimals only values with a zero last digit can be typed
        // (the bound check allows six).
        std::vector<int32_t> typed;
        for (int32_t z : stored)
            typed.push_back(c.decimals == 7 ? z - z % 10 : z);
        LasOptions opts;
        opts.scale[2] = c.decimals == 2 ? 0.01 : c.decimals == 3 ? 0.001 : 1e-7;  // pow is inexact on some C libraries
        opts.offset[2] = atof(c.offset);
        std::vector<int32_t> zs;
        for (int32_t z : typed)
            for (int32_t dz : {-1, 0, 0, 1})
                zs.push_back(z + dz);
        const std::vector<LasPoint> points = points_with(zs, [](LasPoint &p, int32_t z) { p.Z = z; });
        make_input(opts, points);
        for (int32_t z_typed : typed) {
            int64_t units = c.offset_units + z_typed;
            uint64_t mag = (uint64_t)(units < 0 ? -units : units), p10 = 1;
            for (int i = 0; i < c.decimals; i++)
                p10 *= 10;
            char text[64];
            snprintf(text, sizeof text, "%s%llu.%0*llu", units < 0 ? "-" : "",
                     (unsigned long long)(mag / p10), c.decimals, (unsigned long long)(mag % p10));
            if (c.decimals == 7)
                text[strlen(text) - 1] = '\0';
            RunResult r = filter(3, text, text);
            SCOPED_TRACE(std::string("scale 1e-") + std::to_string(c.decimals) + " offset " +
                         c.offset + " typed " + text);
            size_t storing = std::count_if(points.begin(), points.end(),
                                           [&](const LasPoint &p) { return p.Z == z_typed; });
            ASSERT_EQ(r.status, storing ? 0 : 255) << r.out;
            if (storing) {
                EXPECT_EQ(+header_of(read_file(out)).NumberOfPointReturns, storing);
            }
        }
    }
}

TEST_F(Filter, keeps_a_time_window_that_spans_batches_kept_whole_and_in_part)
{
    std::vector<LasPoint> points = ramp(140000);  // GPS time rises by 1e-5 a record
    make_input(LasOptions(), points);
    EXPECT_EQ(expect_filter_matches(13, "300000.3", "300001.1").kept, 80001u);
    EXPECT_EQ(expect_filter_matches(13, "300000", "300002").kept, 140000u);
    // 146 records dropped: whole batches then lie 8 bytes out of step with
    // their place in the output, and are copied before they are written.
    EXPECT_EQ(expect_filter_matches(13, "300000.00146", "300002").kept, 139854u);
}

// Kept and dropped runs from one record to more than a batch long, so that
// kept records pile up across batches, whole stretches are held back before a
// drop and the gathered output fills mid-batch; at every kernel level.
TEST_F(Filter, keeps_runs_of_every_length_across_batches)
{
    for (uint8_t format : {1, 3}) {
        SCOPED_TRACE("format " + std::to_string(format));
        std::mt19937 rng(format);
        std::vector<LasPoint> points = ramp(300000);
        const size_t lengths[] = {1, 2, 63, 64, 65, 511, 512, 513, 2048, 17000, 30000, 40000};
        size_t i = 0;
        for (bool keep = true; i < points.size(); keep = !keep) {
            size_t run = lengths[rng() % (sizeof lengths / sizeof lengths[0])];
            for (size_t k = 0; k < run && i < points.size(); k++, i++)
                points[i].Classification = keep ? 2 : 1;
        }
        LasOptions opts;
        opts.PointDataFormatID = format;
        make_input(opts, points);
        expect_filter_matches(9, "2", "2");
        expect_filter_matches(9, "1", "1");
        for (const char *level : kAvailableLevels) {
            RunResult r = filter_at(level, 9, "2", "2");
            EXPECT_EQ(r.status, 0) << level;
            EXPECT_TRUE(same_las_bytes(read_file(out), expected_filter(read_file(in), 9, 2, 2).file)) << level;
        }
    }
}

// Each kernel level on each layout, through the whole tool: one small file
// and an attribute of each kind (bits, a signed byte, a GPS time, a
// coordinate).
TEST_F(Filter, every_kernel_level_keeps_the_same_records_on_every_layout)
{
    const struct {
        uint8_t format;
        int attr;
        const char *min, *max;
    } cases[] = {{0, 10, "-10", "10"}, {1, 13, "300000.002", "300000.007"}, {2, 6, "2", "3"}, {3, 3, "-1", "2.5"}};
    std::mt19937 rng(11);
    for (const auto &c : cases) {
        std::vector<LasPoint> points = ramp(1000);
        for (LasPoint &p : points) {
            p.bitfield = (uint8_t)rng();
            p.ScanAngleRank = (int8_t)rng();
            p.Z = (int32_t)(rng() % 1000) - 500;
        }
        LasOptions opts;
        opts.PointDataFormatID = c.format;
        make_input(opts, points);
        const Expected e = expected_filter(read_file(in), c.attr, atof(c.min), atof(c.max));
        ASSERT_GT(e.kept, 0u);
        for (const char *level : kAvailableLevels) {
            SCOPED_TRACE("format " + std::to_string(c.format) + ", level " + level);
            RunResult r = filter_at(level, c.attr, c.min, c.max);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(printed_output_records(r.out), (long)e.kept);
            EXPECT_TRUE(same_las_bytes(read_file(out), e.file));
        }
    }
}

TEST_F(Filter, the_test_build_refuses_a_kernel_level_it_does_not_have)
{
    make_input(LasOptions(), ramp(10));
    RunResult r = filter_at("sse3", 9, "2", "2");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "QUORVANE_KERNEL=sse3 names no kernel level\n");
    EXPECT_FALSE(file_exists(out));
    std::vector<std::string> lacked;
    for (const char *name : {"scalar", "portable", "sse2", "sse41", "avx"}) {
        KernelLevel level;
        ASSERT_TRUE(kernel_level_named(name, &level));
        if (kernel_level_available(level))
            continue;
        lacked.push_back(name);
        r = filter_at(name, 9, "2", "2");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "QUORVANE_KERNEL=" + std::string(name) + ": this processor or build lacks that level\n");
    }
    if (lacked.empty())
        GTEST_SKIP() << "this processor and build have every level: none to see refused";
}

// Stored values at both ends of 32 bits, with bounds at, inside and beyond
// them, and a range that holds no whole number.
TEST_F(Filter, keeps_the_extreme_stored_values_and_nothing_beyond_them)
{
    const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX};
    std::vector<int32_t> xs;
    for (int round = 0; round < 10; round++)  // whole groups of eight and a tail
        xs.insert(xs.end(), std::begin(values), std::end(values));
    const std::vector<LasPoint> points = points_with(xs, [](LasPoint &p, int32_t x) { p.X = x; });
    LasOptions opts;
    opts.scale[0] = 1;
    opts.offset[0] = 0;
    make_input(opts, points);
    EXPECT_EQ(expect_filter_matches(1, "-3000000000", "-2147483648").kept, 10u);
    EXPECT_EQ(expect_filter_matches(1, "2147483647", "5000000000").kept, 10u);
    EXPECT_EQ(expect_filter_matches(1, "-2147483648", "2147483647").kept, 70u);
    EXPECT_EQ(expect_filter_matches(1, "-2147483647.5", "-0.5").kept, 20u);
    EXPECT_EQ(expect_filter_matches(1, "2147483648", "3000000000").kept, 0u);
    EXPECT_EQ(expect_filter_matches(1, "-3000000000", "-2147483649").kept, 0u);
    EXPECT_EQ(expect_filter_matches(1, "0.2", "0.8").kept, 0u);
}

// Attributes of at most 16 bits at both ends of their values, with bounds at
// those ends, beyond them, and past them altogether.
TEST_F(Filter, keeps_the_extreme_values_of_the_narrow_attributes)
{
    std::vector<LasPoint> points = ramp(90);  // whole groups of eight and a tail
    for (size_t i = 0; i < points.size(); i++) {
        LasPoint &p = points[i];
        const bool high = i % 3 == 0, low = i % 3 == 1;
        if (high || low) {
            p.Intensity = high ? 65535 : 0;
            p.bitfield = high ? 0xff : 0x00;
            p.Classification = high ? 255 : 0;
            p.ScanAngleRank = high ? 127 : -128;
            p.UserData = high ? 255 : 0;
            p.PointSourceID = high ? 65535 : 0;
        }
    }
    make_input(LasOptions(), points);
    const char *ranges[][2] = {{"-100000", "0"}, {"-100000", "-129"}, {"-128", "-128"},
                               {"127", "100000"}, {"255", "255"}, {"65535", "100000"},
                               {"65536", "100000"}, {"-100000", "100000"}, {"0", "1"}, {"7", "7"}};
    for (int attr = 4; attr <= 12; attr++)
        for (const auto &r : ranges)
            expect_filter_matches(attr, r[0], r[1]);
}

TEST_F(Filter, negative_scale_reverses_the_converted_bounds)
{
    LasOptions opts;
    opts.scale[2] = -0.5;
    std::vector<LasPoint> points(10);
    for (int i = 0; i < 10; i++)
        points[i].Z = i;
    make_input(opts, points);
    EXPECT_EQ(expect_filter_matches(3, "-4", "-1").kept, 0u);
    EXPECT_EQ(expect_filter_matches(3, "-2", "-2").kept, 1u);
}

TEST_F(Filter, gps_time_filters_layouts_that_carry_it_and_never_keeps_nan)
{
    std::vector<LasPoint> points(21);  // two groups of eight and a tail
    for (int i = 0; i < 21; i++)
        points[i].GPSTime = 100.0 + i;
    for (int i : {2, 9, 19})
        points[i].GPSTime = std::nan("");
    LasOptions opts;
    opts.PointDataFormatID = 3;
    make_input(opts, points);
    EXPECT_EQ(expect_filter_matches(13, "101", "104").kept, 3u);
    EXPECT_EQ(expect_filter_matches(13, "100", "120").kept, 18u);
    EXPECT_EQ(expect_filter_matches(13, "108", "120").kept, 11u);
}

TEST_F(Filter, reports_the_claimed_count_and_ignores_a_trailing_partial_record)
{
    LasOptions opts;
    opts.claim_count = true;
    opts.claimed = 1000;
    opts.trailing.assign(27, 0x55);
    std::vector<LasPoint> points = ramp(999);
    for (LasPoint &p : points)
        p.Classification = 2;
    make_input(opts, points);
    Expected e = expect_filter_matches(9, "2", "2");
    EXPECT_EQ(e.claimed, 1000u);
    EXPECT_EQ(e.kept, 999u);
}

// Positions past 2 GiB need 64-bit offsets (Windows' `long` is 32 bits).
// The input is the header block and a projection record, a hole up to a
// point data offset past 2 GiB, and the records there: only the records take
// disk. The output holds the hole as written zeros.
TEST_F(Filter, reads_and_writes_point_data_past_2_gib)
{
    const LasOptions opts = with_projection();
    const std::vector<unsigned char> small = las_image(opts, ramp(500));
    const std::vector<unsigned char> kept = expected_filter(small, 9, 2, 2).file;
    const size_t data = file_compare::las_layout(small).data;
    const uint64_t past_2_gib = (1ull << 31) + (1u << 20);
    auto far_image_head = [&](std::vector<unsigned char> head) {
        head.resize(data);
        for (int k = 0; k < 4; k++)
            head[96 + k] = (unsigned char)(past_2_gib >> 8 * k);
        return head;
    };
    ASSERT_TRUE(write_file(in, far_image_head(small)));
    ASSERT_TRUE(write_at(in, past_2_gib, std::vector<unsigned char>(small.begin() + data, small.end())));

    RunResult r = filter(9, "2", "2.4");
    expect_completed(r, prologue("Class", "2", "2") + kClassTwoOfRamp500);
    const size_t records = kept.size() - data;
    EXPECT_EQ(std::filesystem::file_size(out), past_2_gib + records);
    EXPECT_TRUE(same_las_bytes(read_range(out, 0, data), far_image_head(kept)));
    EXPECT_TRUE(zeros_between(out, data, past_2_gib));
    EXPECT_TRUE(same_bytes(read_range(out, past_2_gib, records),
                           std::vector<unsigned char>(kept.begin() + data, kept.end())));
}

TEST_F(Filter, scans_nothing_in_files_without_a_record_layout)
{
    LasOptions opts;
    opts.VersionMinor = 1;
    opts.PointDataFormatID = 3;
    make_input(opts, ramp(5));
    EXPECT_EQ(expect_filter_matches(9, "0", "255").kept, 0u);
}

}  // namespace
