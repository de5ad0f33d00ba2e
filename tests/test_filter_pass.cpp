// The filter pass as a user runs it: the exact console output of every way a
// run ends, exact output bytes against an independent reading, and nothing
// false left at the output path after a refusal, a failure or an interrupt.
#include "file_compare.h"
#include "reference.h"
#include "run_tool.h"

#include "internal/kernel_levels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <random>
#include <regex>
#include <filesystem>
#include <sys/stat.h>
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

// The kernel levels this processor and build have.
std::vector<const char *> available_levels()
{
    std::vector<const char *> names;
#define LEVEL_NAME_OF_ROW(level, name, ...) name,
    for (const char *name : {KERNEL_LEVELS(LEVEL_NAME_OF_ROW)}) {
        KernelLevel level;
        if (kernel_level_named(name, &level) && kernel_level_available(level))
            names.push_back(name);
    }
#undef LEVEL_NAME_OF_ROW
    return names;
}
const std::vector<const char *> kAvailableLevels = available_levels();

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

uint64_t file_bytes(const std::string &path)
{
    std::error_code ec;
    return std::filesystem::file_size(path, ec);
}

::testing::AssertionResult zeros_between(const std::string &path, uint64_t from, uint64_t to)
{
    FILE *f = open_at(path, "rb", from);
    if (!f)
        return ::testing::AssertionFailure() << "cannot read " << path << " at " << from;
    std::vector<unsigned char> chunk(1 << 20);
    for (uint64_t at = from; at < to;) {
        size_t got = fread(chunk.data(), 1, (size_t)std::min<uint64_t>(chunk.size(), to - at), f);
        for (size_t k = 0; k < got; k++)
            if (chunk[k] != 0) {
                fclose(f);
                return ::testing::AssertionFailure() << "byte " << at + k << " is " << (int)chunk[k];
            }
        if (got == 0) {
            fclose(f);
            return ::testing::AssertionFailure() << path << " ends at " << at;
        }
        at += got;
    }
    fclose(f);
    return ::testing::AssertionSuccess();
}

std::vector<LasPoint> ramp(size_t n)
{
    std::vector<LasPoint> points;
    for (size_t i = 0; i < n; i++)
        points.push_back(synthetic_point(i, 7));
    return points;
}

// A header with a coordinate system record after it.
LasOptions with_projection()
{
    LasOptions opts;
    opts.vlr_bytes = make_vlr("LASF_Projection", 34735, "GeoKeyDirectoryTag", {1, 0, 1, 0, 0, 0, 0, 0});
    opts.vlr_count = 1;
    return opts;
}

// What a completed run prints after the request summary when it keeps class
// 2 of ramp(500).
const char *const kClassTwoOfRamp500 =
    "Input Records  :       500\n"
    "Output Records :       244\n"
    "% Retained     :        48.80\n\n"
    "... Updating Header ...                                                       \r"
    "\rHeader of file out.las has been updated    "
    "\nCompleted in ";

// The banner and request summary for in.las -> out.las, as printed.
std::string prologue(const std::string &name, const std::string &min, const std::string &max)
{
    return std::string(kBanner) + summary_text("in.las", "out.las", name, min, max);
}

// A completed run's output: `before` exactly, then the elapsed time.
void expect_completed(const RunResult &r, const std::string &before)
{
    EXPECT_EQ(r.out.substr(0, before.size()), before);
    EXPECT_TRUE(std::regex_match(r.out.substr(std::min(before.size(), r.out.size())),
                                 std::regex("[0-9]+\\.[0-9]{3} seconds\n")))
        << r.out;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

// Every run works in one folder on the fixed names in.las and out.las, so
// that the expected texts can be written out as the user sees them.
class Filter : public ::testing::Test {
protected:
    TempDir dir;
    std::string in = dir.file("in.las");
    std::string out = dir.file("out.las");

    void make_input(const LasOptions &opts, const std::vector<LasPoint> &points)
    {
        ASSERT_TRUE(write_file(in, las_image(opts, points)));
    }

    // The test build, at kernel level `level`.
    RunResult filter_at(const char *level, int attr, const std::string &min, const std::string &max)
    {
        set_env("QUORVANE_KERNEL", level);
        RunResult r = run_program(QUORVANE_SEAM_EXE, {in, out, std::to_string(attr), min, max});
        unset_env("QUORVANE_KERNEL");
        return r;
    }

    RunResult filter(int attr, const std::string &min, const std::string &max,
                     const std::function<void()> &prepare = {})
    {
        return run_quorvane_in(dir.path, {"in.las", "out.las", std::to_string(attr), min, max},
                               prepare);
    }

    // Runs the filter and checks the status, the kept count it prints and
    // the output's bytes against the independent reading of the input.
    Expected expect_filter_matches(int attr, const std::string &min, const std::string &max)
    {
        Expected e = expected_filter(read_file(in), attr, atof(min.c_str()), atof(max.c_str()));
        RunResult r = filter(attr, min, max);
        SCOPED_TRACE("attribute " + std::to_string(attr) + " [" + min + ", " + max + "]");
        EXPECT_EQ(printed_output_records(r.out), (long)e.kept);
        EXPECT_EQ(r.status, e.kept ? 0 : 255);
        if (e.kept == 0)
            EXPECT_FALSE(file_exists(out));
        else
            EXPECT_TRUE(same_las_bytes(read_file(out), e.file));
        return e;
    }

    // Filters between the values two records hold, given in command-line
    // units (real-world coordinates) with `decimals` decimals.
    Expected expect_filter_between(int attr, const LasPoint &a, const LasPoint &b,
                                   const LasOptions &opts, int decimals)
    {
        double va = attribute_value(a, attr), vb = attribute_value(b, attr);
        if (attr <= 3) {
            va = va * opts.scale[attr - 1] + opts.offset[attr - 1];
            vb = vb * opts.scale[attr - 1] + opts.offset[attr - 1];
        }
        char lo[64], hi[64];
        snprintf(lo, sizeof lo, "%.*f", decimals, std::min(va, vb));
        snprintf(hi, sizeof hi, "%.*f", decimals, std::max(va, vb));
        return expect_filter_matches(attr, lo, hi);
    }
};

// --- Every ending, byte for byte -------------------------------------------

TEST_F(Filter, completed_run_prints_the_summary_sequence_and_writes_the_kept_records)
{
    const LasOptions opts = with_projection();
    make_input(opts, ramp(500));
    RunResult r = filter(9, "2", "2.4");
    expect_completed(r, prologue("Class", "2", "2") + kClassTwoOfRamp500);
    EXPECT_TRUE(same_las_bytes(read_file(out), expected_filter(read_file(in), 9, 2, 2).file));
}

TEST_F(Filter, empty_result_prints_the_message_and_an_empty_line_and_removes_the_output)
{
    make_input(LasOptions(), ramp(30));
    write_file(out, {1, 2, 3});
    RunResult r = filter(9, "200", "255");
    EXPECT_EQ(r.out, prologue("Class", "200", "255") +
                         "Input Records  :        30\n"
                         "Output Records :         0\n"
                         "% Retained     :         0.00\n\n"
                         "\nNo points retained\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}

TEST_F(Filter, prints_a_word_not_a_division_by_zero_when_the_header_claims_no_points)
{
    LasOptions opts;
    opts.claim_count = true;
    opts.claimed = 0;
    make_input(opts, ramp(20));
    expect_completed(filter(4, "0", "65535.5"),
                     prologue("Intensity", "0", "65536") +
                         "Input Records  :         0\n"
                         "Output Records :        20\n"
                         "% Retained     :          n/a\n\n"
                         "... Updating Header ...                                                       \r"
                         "\rHeader of file out.las has been updated    "
                         "\nCompleted in ");
}

TEST_F(Filter, refuses_gps_time_on_layouts_without_it_leaving_the_header)
{
    for (uint8_t format : {0, 2}) {
        LasOptions opts;
        opts.PointDataFormatID = format;
        opts.vlr_bytes.assign(30, 1);
        make_input(opts, ramp(10));
        RunResult r = filter(13, "0", "1");
        EXPECT_EQ(r.out, prologue("GPS Time", "0", "1") +
                             "\nInput file (in.las) does not carry GPS Time Information (Attribute 13)\n\n");
        EXPECT_EQ(r.status, 255);
        std::vector<unsigned char> input = read_file(in);
        EXPECT_TRUE(same_las_bytes(read_file(out),
                                   std::vector<unsigned char>(input.begin(), input.begin() + 227)));
    }
}

TEST_F(Filter, refuses_the_same_file_as_input_and_output_by_identity)
{
    make_input(LasOptions(), ramp(20));
    std::vector<unsigned char> before = read_file(in);
    std::vector<std::string> others = {"in.las", "./in.las", "hard.las", dir.path + "/in.las"};
    std::filesystem::create_hard_link(in, dir.file("hard.las"));
    std::error_code no_link;
    std::filesystem::create_symlink("in.las", dir.file("sym.las"), no_link);
#ifdef _WIN32
    if (!no_link)  // symbolic links need a privilege on Windows
#else
    ASSERT_FALSE(no_link) << no_link.message();
#endif
        others.push_back("sym.las");
#ifdef _WIN32
    // Windows names one file in more ways: other case, backslashes, a folder
    // named in other case.
    std::string folder = dir.path.substr(dir.path.rfind('/') + 1);
    for (char &c : folder)
        c = (char)toupper((unsigned char)c);
    others.push_back(".\\IN.LAS");
    others.push_back("..\\" + folder + "\\in.las");
#endif
    for (const std::string &other : others) {
        RunResult r = run_quorvane_in(dir.path, {"in.las", other, "9", "0", "255"});
        EXPECT_EQ(r.out, std::string(kBanner) + summary_text("in.las", other, "Class", "0", "255") +
                             "\nSame file name (in.las) has been specified twice\n" + kUsage);
        EXPECT_EQ(r.status, 255);
        EXPECT_TRUE(same_las_bytes(read_file(in), before)) << other;
    }
}

TEST_F(Filter, refuses_inputs_whose_header_block_is_cut_short_or_overlapped)
{
    std::vector<unsigned char> bytes = las_image(LasOptions(), ramp(3));
    write_file(in, std::vector<unsigned char>(bytes.begin(), bytes.begin() + 200));
    RunResult r = filter(9, "0", "255");
    EXPECT_EQ(r.out, prologue("Class", "0", "255") +
                         "\nFile in.las is too short to hold a LAS header block\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));

    bytes[96] = 200;  // OffsetToData 200
    write_file(in, bytes);
    r = filter(9, "0", "255");
    EXPECT_EQ(r.out, prologue("Class", "0", "255") +
                         "\nOffsetToData of in.las (200) lies inside its 227-byte header block\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}

TEST_F(Filter, reports_an_output_that_cannot_be_opened)
{
    make_input(LasOptions(), ramp(5));
    RunResult r = run_quorvane_in(dir.path, {"in.las", "missing/out.las", "9", "0", "255"});
    EXPECT_EQ(r.out, std::string(kBanner) + summary_text("in.las", "missing/out.las", "Class", "0", "255") +
                         "\nCannot open output LAS file missing/out.las for writing\n\n" + kUsage);
    EXPECT_EQ(r.status, 255);
}

TEST_F(Filter, reports_a_failed_write_and_removes_the_incomplete_output)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process file-size limit (setrlimit) to make a write fail";
#else
    make_input(LasOptions(), ramp(20000));  // about 560 kB
    RunResult r = filter(4, "0", "65535", [] {
        struct rlimit lim = {100000, 100000};  // a 100 kB file-size limit
        setrlimit(RLIMIT_FSIZE, &lim);
        signal(SIGXFSZ, SIG_IGN);
    });
    EXPECT_EQ(r.out, prologue("Intensity", "0", "65535") + "\nCannot write output LAS file out.las\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
#endif
}

TEST_F(Filter, keeps_the_file_and_its_stored_count_when_the_header_update_refuses_its_name)
{
    make_input(LasOptions(), ramp(40));
    RunResult r = run_quorvane_in(dir.path, {"in.las", "out.txt", "9", "2", "2"});
    EXPECT_EQ(r.out, std::string(kBanner) + summary_text("in.las", "out.txt", "Class", "2", "2") +
                         "Input Records  :        40\n"
                         "Output Records :        18\n"
                         "% Retained     :        45.00\n\n"
                         "... Updating Header ...                                                       \r"
                         "\nFile extension of out.txt is not .las\n");
    EXPECT_EQ(r.status, 255);
    std::vector<unsigned char> written = read_file(dir.file("out.txt"));
    ASSERT_EQ(written.size(), 227 + 18 * 28u);
    // `+` reads the packed field by value: a reference to it could be misaligned.
    EXPECT_EQ(+header_of(written).NumberOfPointReturns, 18u);
}

// --- What is kept ----------------------------------------------------------

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
    std::vector<LasPoint> points;
    for (int x = -5; x <= 60; x++) {
        LasPoint p;
        p.X = x;
        points.push_back(p);
    }
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
    std::vector<LasPoint> points;
    for (int32_t y : {440565881, 440565882, 440565882, 440565883, 440565886}) {
        LasPoint p;
        p.Y = y;
        points.push_back(p);
    }
    make_input(opts, points);
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
    std::vector<LasPoint> points;
    for (uint8_t byte : {2, 34, 66, 130, 5, 2}) {
        LasPoint p;
        p.Classification = byte;
        points.push_back(p);
    }
    make_input(LasOptions(), points);
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
        std::vector<LasPoint> points;
        for (int32_t z : typed)
            for (int32_t dz : {-1, 0, 0, 1}) {
                LasPoint p;
                p.Z = z + dz;
                points.push_back(p);
            }
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
    std::vector<LasPoint> points;
    for (int round = 0; round < 10; round++)  // whole groups of eight and a tail
        for (int32_t v : values) {
            LasPoint p;
            p.X = v;
            points.push_back(p);
        }
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
    EXPECT_EQ(file_bytes(out), past_2_gib + records);
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

// --- What is removed -------------------------------------------------------

TEST_F(Filter, never_removes_a_device_named_as_output)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no device nodes to create (mknod)";
#else
    make_input(LasOptions(), ramp(5));
    out = dir.file("null");
    if (mknod(out.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot create a device node here";
    RunResult r = run_quorvane_in(dir.path, {"in.las", "null", "9", "200", "255"});  // nothing kept
    EXPECT_EQ(r.status, 255);
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
#endif
}

TEST_F(Filter, writes_through_a_symbolic_link_and_removes_what_it_wrote_not_the_link)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows";
#else
    make_input(LasOptions(), ramp(50));
    ASSERT_EQ(symlink("target.las", out.c_str()), 0);
    EXPECT_EQ(filter(9, "2", "2").status, 0);
    EXPECT_TRUE(same_las_bytes(read_file(dir.file("target.las")),
                               expected_filter(read_file(in), 9, 2, 2).file));
    EXPECT_EQ(filter(9, "200", "255").status, 255);  // nothing kept
    EXPECT_FALSE(file_exists(dir.file("target.las")));
    struct stat st;
    EXPECT_EQ(lstat(out.c_str(), &st), 0) << "the link stays";
#endif
}

#ifdef _WIN32
// --- What only Windows has -------------------------------------------------

// A Windows parent (cmd.exe's %ERRORLEVEL%, PowerShell's $LASTEXITCODE)
// sees 0 for a completed run and -1, 0xffffffff, for a refused one.
TEST_F(Filter, ends_with_the_exit_codes_a_windows_parent_sees)
{
    make_input(LasOptions(), ramp(20));
    EXPECT_EQ(filter(4, "0", "65535").code, 0ul);
    EXPECT_EQ(filter(9, "200", "200").code, 0xfffffffful);
}

// An existing output that another program holds open, sharing nothing or
// sharing all but deletion, is refused before anything is lost.
TEST_F(Filter, refuses_an_output_another_program_holds_open_on_windows)
{
    make_input(LasOptions(), ramp(20));
    const std::vector<unsigned char> kept = {'k', 'e', 'e', 'p'};
    for (DWORD sharing : {(DWORD)0, (DWORD)(FILE_SHARE_READ | FILE_SHARE_WRITE)}) {
        ASSERT_TRUE(write_file(out, kept));
        HANDLE held = CreateFileA(out.c_str(), GENERIC_READ | GENERIC_WRITE, sharing, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        RunResult r = filter(4, "0", "65535");
        CloseHandle(held);
        EXPECT_NE(r.out.find("\nCannot open output LAS file out.las for writing\n"), std::string::npos)
            << "sharing " << sharing << ": " << r.out;
        EXPECT_EQ(r.status, 255) << "sharing " << sharing;
        EXPECT_EQ(read_file(out), kept) << "sharing " << sharing;
    }
}

// An existing read-only output is refused before anything is lost.
TEST_F(Filter, refuses_a_read_only_output_on_windows)
{
    make_input(LasOptions(), ramp(20));
    const std::vector<unsigned char> kept = {'k', 'e', 'e', 'p'};
    ASSERT_TRUE(write_file(out, kept));
    ASSERT_TRUE(SetFileAttributesA(out.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE probe = CreateFileA(out.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        SetFileAttributesA(out.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "this file system lets the user write a read-only file (Wine run by root does)";
    }
    RunResult r = filter(4, "0", "65535");
    SetFileAttributesA(out.c_str(), FILE_ATTRIBUTE_NORMAL);  // so that the folder can go
    EXPECT_NE(r.out.find("\nCannot open output LAS file out.las for writing\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(read_file(out), kept);
}
#endif

// --- Progress on a terminal ------------------------------------------------

TEST_F(Filter, shows_progress_on_a_terminal_and_erases_it_leaving_standard_output_as_it_was)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no pseudo-terminals";
#else
    make_input(LasOptions(), ramp(70000));  // more than one batch of records
    const std::vector<std::string> args = {"in.las", "out.las", "4", "0", "65535"};
    RunResult plain = run_quorvane_in(dir.path, args);
    // The test build shows progress at once instead of after a second.
    RunResult shown = run_on_terminal(QUORVANE_SEAM_EXE, dir.path, args,
                                      [] { set_env("QUORVANE_QUIET_SECONDS", "0"); });
    ASSERT_EQ(shown.status, 0);
    EXPECT_EQ(shown.err.substr(0, 17), "\rScanning records");
    EXPECT_NE(shown.err.find(" %"), std::string::npos) << shown.err;
    const std::string erase = "\r" + std::string(24, ' ') + "\r";
    ASSERT_GE(shown.err.size(), erase.size());
    EXPECT_EQ(shown.err.substr(shown.err.size() - erase.size()), erase);
    const size_t time = plain.out.find("\nCompleted in ");
    EXPECT_EQ(shown.out.substr(0, time), plain.out.substr(0, time));
    EXPECT_EQ(plain.err, "");
    // A run shorter than a second shows nothing, even on a terminal.
    EXPECT_EQ(run_on_terminal(QUORVANE_EXE, dir.path, args).err, "");
#endif
}

// --- Interrupts ------------------------------------------------------------

class Interrupt : public Filter {
protected:
#ifndef _WIN32
    std::vector<unsigned char> before;
    void SetUp() override
    {
        make_input(LasOptions(), ramp(70000));  // more than one batch of records
        before = read_file(in);
    }
    RunResult held_at(const char *point, int sig, int attr = 4,
                      const std::function<void()> &prepare = {}, int then_sig = 0)
    {
        return run_held(QUORVANE_SEAM_EXE, dir.path, {"in.las", "out.las", std::to_string(attr), "0", "65535"}, point,
                        sig, prepare, then_sig);
    }
#endif
};

TEST_F(Interrupt, removes_the_incomplete_output_and_ends_by_the_signal)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no POSIX signals; a console Ctrl-C is checked by scripts/test-cross.sh windows";
#else
    // Standard output is a file here, as in a log: what was printed before
    // the signal is in it.
    const std::string at_scan = prologue("Intensity", "0", "65535");
    const std::string at_update = at_scan +
                                  "Input Records  :     70000\n"
                                  "Output Records :     70000\n"
                                  "% Retained     :       100.00\n\n"
                                  "... Updating Header ...                                                       \r";
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
        for (const char *point : {"scan", "update"}) {
            RunResult r = held_at(point, sig);
            EXPECT_EQ(r.status, killed_by(sig)) << point << " " << sig;
            EXPECT_EQ(r.out, point[0] == 's' ? at_scan : at_update) << point << " " << sig;
            EXPECT_FALSE(file_exists(out)) << point << " " << sig;
            EXPECT_TRUE(same_las_bytes(read_file(in), before));
        }
    }
#endif
}

TEST_F(Interrupt, removes_nothing_once_the_run_is_complete_or_the_header_kept)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no POSIX signals; a console Ctrl-C is checked by scripts/test-cross.sh windows";
#else
    RunResult r = held_at("done", SIGTERM);
    EXPECT_EQ(r.status, killed_by(SIGTERM));
    EXPECT_TRUE(same_las_bytes(read_file(out), expected_filter(before, 4, 0, 65535).file));

    LasOptions opts;
    opts.PointDataFormatID = 0;
    make_input(opts, ramp(10));
    r = held_at("gps", SIGINT, 13);
    EXPECT_EQ(r.status, killed_by(SIGINT));
    EXPECT_EQ(read_file(out).size(), 227u);
#endif
}

TEST_F(Interrupt, a_signal_ignored_at_start_stays_ignored)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no POSIX signals";
#else
    // SIGHUP is discarded as it is sent; the SIGTERM that follows ends the run.
    RunResult r = held_at("scan", SIGHUP, 4, [] { signal(SIGHUP, SIG_IGN); }, SIGTERM);
    EXPECT_EQ(r.status, killed_by(SIGTERM));
    EXPECT_FALSE(file_exists(out));
#endif
}

TEST_F(Interrupt, a_file_size_limit_removes_the_output)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process file-size limit (setrlimit)";
#else
    RunResult r = filter(4, "0", "65535", [] {
        struct rlimit lim = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &lim);
    });
    EXPECT_EQ(r.status, killed_by(SIGXFSZ));
    EXPECT_FALSE(file_exists(out));
#endif
}

// --- Injected faults -------------------------------------------------------

// A file call that the test build makes fail (library/internal/faults.h):
// the `at`-th `call` on the file whose name ends in `path`, counting only
// the calls on its `opening`-th opening (0: all) for calls on an open file.
// The output is created (opening 1) and then opened by the header update's
// check (2, 3) and for the update (4); the input by the check (1, 2) and for
// the pass (3).
struct Injected {
    const char *call, *path;
    int at, opening;
};

class Fault : public Filter {
protected:
    void SetUp() override { make_input(LasOptions(), ramp(100000)); }
    RunResult filter_with(const Injected &f, int attr = 4, const char *min = "0", const char *max = "65535",
                          const char *output = "out.las")
    {
        set_env("QUORVANE_FAULT", f.call);
        set_env("QUORVANE_FAULT_PATH", f.path);
        set_env("QUORVANE_FAULT_AT", std::to_string(f.at).c_str());
        set_env("QUORVANE_FAULT_OPENING", std::to_string(f.opening).c_str());
        RunResult r = run_program(QUORVANE_SEAM_EXE, {"in.las", output, std::to_string(attr), min, max}, dir.path);
        for (const char *name : {"QUORVANE_FAULT", "QUORVANE_FAULT_PATH", "QUORVANE_FAULT_AT",
                                 "QUORVANE_FAULT_OPENING"})
            unset_env(name);
        return r;
    }
    const std::string all_kept = "Input Records  :    100000\n"
                                 "Output Records :    100000\n"
                                 "% Retained     :       100.00\n\n";
    const std::string updating = prologue("Intensity", "0", "65535") + all_kept +
                                 "... Updating Header ...                                                       \r";
};

TEST_F(Fault, a_failed_read_or_write_of_the_pass_reports_it_and_removes_the_incomplete_output)
{
    const std::string unread = "\nError reading input LAS file in.las\n\n";
    const std::string unwritten = "\nCannot write output LAS file out.las\n\n";
    struct Case { Injected fault; std::string after_prologue; };
    const Case cases[] = {
        {{"read", "in.las", 3, 3}, unread},  // the header, the first batch, the second
        {{"seek", "in.las", 1, 3}, unread},
        {{"write", "out.las", 1, 1}, unwritten},  // the header
        {{"seek", "out.las", 1, 1}, unwritten},
        {{"seek", "out.las", 2, 1}, all_kept + unwritten},  // to store the kept count
        {{"close", "out.las", 1, 1}, all_kept + unwritten},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.fault.call) + " " + c.fault.path + " " + std::to_string(c.fault.at));
        RunResult r = filter_with(c.fault);
        EXPECT_EQ(r.out, prologue("Intensity", "0", "65535") + c.after_prologue);
        EXPECT_EQ(r.status, 255);
        EXPECT_FALSE(file_exists(out));
    }
}

// The first 32767 records are kept, the last of their batch not: the kept
// chunks before it are gathered in one piece, larger than the ring, whose
// first write out (the output's second) fails.
TEST_F(Fault, a_write_that_fails_while_the_ring_gathers_ends_the_scan)
{
    RunResult r = filter_with({"write", "out.las", 2, 1}, 13, "300000", "300000.327665");
    EXPECT_EQ(r.out, prologue("GPS Time", "300000", "300000") + "\nCannot write output LAS file out.las\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}

TEST_F(Fault, a_failed_header_update_removes_the_output)
{
    struct Case { Injected fault; const char *message; };
    const Case cases[] = {
        {{"open", "out.las", 1, 0}, "Unable to open file out.las in file_access()\n\nFile out.las does NOT exist\n"},
        {{"open", "out.las", 3, 0}, "\nCannot open binary file out.las for header update\n\n"},
        {{"read", "out.las", 1, 4}, "\nCannot read the header of out.las for header update\n\n"},
        {{"seek", "out.las", 1, 4}, "\nCannot read the point records of out.las for header update\n\n"},
        {{"seek", "out.las", 2, 4}, "\nCannot write the header of out.las\n\n"},
        {{"write", "out.las", 1, 4}, "\nCannot write the header of out.las\n\n"},
        {{"flush", "out.las", 1, 4}, "\nCannot write the header of out.las\n\n"},
        {{"close", "out.las", 1, 4}, "\nCannot write the header of out.las\n\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.fault.call) + " " + std::to_string(c.fault.at));
        RunResult r = filter_with(c.fault);
        EXPECT_EQ(r.out, updating + c.message);
        EXPECT_EQ(r.status, 255);
        EXPECT_FALSE(file_exists(out));
    }
}

TEST_F(Fault, a_removal_that_fails_is_reported)
{
#ifdef _WIN32
    const char *const calls[] = {"remove"};  // DeleteFileA
#else
    const char *const calls[] = {"remove", "examine"};  // unlink, lstat
#endif
    for (const char *call : calls) {
        SCOPED_TRACE(call);
        RunResult r = filter_with({call, "out.las", 1, 0}, 9, "200", "255");
        EXPECT_EQ(r.out, prologue("Class", "200", "255") +
                             "Input Records  :    100000\n"
                             "Output Records :         0\n"
                             "% Retained     :         0.00\n\n"
                             "\nNo points retained\n\n"
                             "\nCannot remove output LAS file out.las\n\n");
        EXPECT_EQ(r.status, 255);
    }
}

TEST_F(Fault, an_input_that_opens_but_not_in_binary_mode_is_refused)
{
    RunResult r = filter_with({"open", "in.las", 2, 0});
    EXPECT_EQ(r.out, prologue("Intensity", "0", "65535") + "\nCannot open file in.las in binary mode\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}

TEST_F(Fault, an_identity_check_that_fails_refuses_the_run)
{
#ifdef _WIN32
    const char *const calls[] = {"identity_open", "identity"};  // CreateFileA, GetFileInformationByHandle
#else
    const char *const calls[] = {"identity"};  // stat
#endif
    std::vector<unsigned char> before = read_file(in);
    for (const char *call : calls) {
        SCOPED_TRACE(call);
        RunResult r = filter_with({call, "./in.las", 1, 0}, 9, "0", "255", "./in.las");
        EXPECT_EQ(r.out, std::string(kBanner) + summary_text("in.las", "./in.las", "Class", "0", "255") +
                             "\nCannot open output LAS file ./in.las for writing\n\n" + kUsage);
        EXPECT_EQ(r.status, 255);
        r = filter_with({call, "in.las", 1, 0}, 9, "0", "255", "./in.las");
        EXPECT_EQ(r.out, std::string(kBanner) + summary_text("in.las", "./in.las", "Class", "0", "255") +
                             "\nCannot open input LAS file in.las for reading\n\n" + kUsage);
        EXPECT_EQ(r.status, 255);
        EXPECT_TRUE(same_las_bytes(read_file(in), before));
    }
}

// The input's size only paces the progress display, and the output's full
// name only says what to remove: without them the run ends as it would.
TEST_F(Fault, a_size_or_full_name_that_cannot_be_told_changes_no_ending)
{
    RunResult r = filter_with({"size", "in.las", 1, 0});
    expect_completed(r, updating + "\rHeader of file out.las has been updated    \nCompleted in ");
    EXPECT_TRUE(same_las_bytes(read_file(out), expected_filter(read_file(in), 4, 0, 65535).file));
#ifndef _WIN32
    // Nor does a terminal show a share of an unknown size.
    r = run_on_terminal(QUORVANE_SEAM_EXE, dir.path, {"in.las", "out.las", "4", "0", "65535"}, [] {
        set_env("QUORVANE_QUIET_SECONDS", "0");
        set_env("QUORVANE_FAULT", "size");
        set_env("QUORVANE_FAULT_PATH", "in.las");
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
#endif
    r = filter_with({"resolve", "out.las", 1, 0}, 9, "200", "255");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}

}  // namespace
