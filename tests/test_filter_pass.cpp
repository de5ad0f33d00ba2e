// The filter pass as a user runs it: exact console output, exact output
// bytes, and every refusal and failure ending with status 255.
#include "reference.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <regex>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

namespace {

std::string no_decimals(const std::string &arg)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%.f", atof(arg.c_str()));
    return buf;
}

std::vector<LasPoint> ramp(size_t n)
{
    std::vector<LasPoint> points;
    for (size_t i = 0; i < n; i++)
        points.push_back(synthetic_point(i, 7));
    return points;
}

class Filter : public ::testing::Test {
protected:
    TempDir dir;
    std::string in = dir.file("in.las");
    std::string out = dir.file("out.las");

    void make_input(const LasOptions &opts, const std::vector<LasPoint> &points)
    {
        ASSERT_TRUE(write_las(in, opts, points));
    }

    RunResult filter(int attr, const std::string &min, const std::string &max)
    {
        return run_quorvane({in, out, std::to_string(attr), min, max});
    }

    // Keeps every record, in a child process that `prepare` sets up first.
    RunResult filter_all_intensities_after(const std::function<void()> &prepare)
    {
        return run_in_child([&] {
            prepare();
            execl(QUORVANE_EXE, QUORVANE_EXE, in.c_str(), out.c_str(), "4", "0", "65535", (char *)nullptr);
            _exit(127);
        });
    }

    std::string prologue(int attr, const std::string &min, const std::string &max)
    {
        return std::string(kBanner) +
               summary_text(in, out, attribute_name(attr), no_decimals(min), no_decimals(max));
    }

    // Runs the filter and checks the printed lines and the output's bytes
    // against the independent reading of the input.
    Expected expect_filter_matches(int attr, const std::string &min, const std::string &max)
    {
        Expected e = expected_filter(read_file(in), attr, atof(min.c_str()), atof(max.c_str()));
        RunResult r = filter(attr, min, max);
        EXPECT_EQ(r.err, "");
        if (e.kept == 0) {
            EXPECT_EQ(r.out, prologue(attr, min, max) +
                                 record_summary_text(e.claimed, 0) +
                                 "\nNo points retained\n");
            EXPECT_EQ(r.status, 255);
            EXPECT_FALSE(file_exists(out));
            return e;
        }
        std::string head = prologue(attr, min, max) + completed_run_text(out, e.claimed, e.kept);
        EXPECT_EQ(r.out.substr(0, head.size()), head) << "attribute " << attr;
        EXPECT_TRUE(std::regex_match(r.out.substr(std::min(head.size(), r.out.size())),
                                     std::regex("[0-9]+\\.[0-9]{3} seconds\n")));
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(read_file(out) == e.file) << "attribute " << attr << " [" << min << ", " << max << "]";
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

TEST_F(Filter, completed_run_prints_the_summary_sequence_and_writes_the_kept_records)
{
    LasOptions opts;
    opts.vlr_bytes = make_vlr("LASF_Projection", 34735, "GeoKeyDirectoryTag", {1, 0, 1, 0, 0, 0, 0, 0});
    opts.vlr_count = 1;
    make_input(opts, ramp(500));
    Expected e = expect_filter_matches(9, "2", "2");
    EXPECT_GT(e.kept, 100u);
    EXPECT_LT(e.kept, 500u);
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
    std::vector<LasPoint> points;
    for (int x = -5; x <= 60; x++) {
        LasPoint p;
        p.X = x;
        points.push_back(p);
    }
    make_input(opts, points);
    Expected e = expect_filter_matches(1, "1000", "1000.5");
    EXPECT_EQ(e.kept, 51u);  // stored X 0 to 50
    e = expect_filter_matches(1, "999.985", "999.995");
    EXPECT_EQ(e.kept, 1u);  // stored -1 denotes 999.99
    LAS12Header h;
    memcpy(&h, read_file(out).data(), sizeof h);
    EXPECT_EQ(+h.MaxX, 999.99);
    EXPECT_EQ(+h.MinX, 999.99);
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
    std::vector<LasPoint> points(5);
    for (int i = 0; i < 5; i++)
        points[i].GPSTime = 100.0 + i;
    points[2].GPSTime = std::nan("");
    LasOptions opts;
    opts.PointDataFormatID = 3;
    make_input(opts, points);
    EXPECT_EQ(expect_filter_matches(13, "101", "104").kept, 3u);
}

TEST_F(Filter, refuses_gps_time_on_layouts_without_it_leaving_the_header)
{
    for (uint8_t format : {0, 2}) {
        LasOptions opts;
        opts.PointDataFormatID = format;
        opts.vlr_bytes.assign(30, 1);
        make_input(opts, ramp(10));
        RunResult r = filter(13, "0", "1");
        EXPECT_EQ(r.out, prologue(13, "0", "1") + "\nInput file (" + in +
                             ") does not carry GPS Time Information (Attribute 13)\n\n");
        EXPECT_EQ(r.status, 255);
        std::vector<unsigned char> input = read_file(in);
        EXPECT_TRUE(read_file(out) == std::vector<unsigned char>(input.begin(), input.begin() + 227));
    }
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

TEST_F(Filter, prints_a_word_not_a_division_by_zero_when_the_header_claims_no_points)
{
    LasOptions opts;
    opts.claim_count = true;
    opts.claimed = 0;
    make_input(opts, ramp(20));
    RunResult r = filter(4, "0", "65535");
    EXPECT_NE(r.out.find("% Retained     :          n/a\n\n"), std::string::npos);
    EXPECT_EQ(r.out.find("inf"), std::string::npos);
    EXPECT_EQ(expect_filter_matches(4, "0", "65535").kept, 20u);
}

TEST_F(Filter, deletes_the_output_when_no_point_is_retained)
{
    make_input(LasOptions(), ramp(30));
    write_file(out, {1, 2, 3});
    EXPECT_EQ(expect_filter_matches(9, "200", "255").kept, 0u);
}

TEST_F(Filter, scans_nothing_in_files_without_a_record_layout)
{
    LasOptions opts;
    opts.VersionMinor = 1;
    opts.PointDataFormatID = 3;
    make_input(opts, ramp(5));
    EXPECT_EQ(expect_filter_matches(9, "0", "255").kept, 0u);
}

TEST_F(Filter, refuses_the_same_file_as_input_and_output_by_identity)
{
    make_input(LasOptions(), ramp(20));
    std::vector<unsigned char> before = read_file(in);
    ASSERT_EQ(symlink(in.c_str(), dir.file("sym.las").c_str()), 0);
    ASSERT_EQ(link(in.c_str(), dir.file("hard.las").c_str()), 0);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    for (std::string other : {in, dir.path + "/./in.las", std::string("in.las"), dir.file("sym.las"),
                              dir.file("hard.las")}) {
        RunResult r = run_quorvane({in, other, "9", "0", "255"});
        EXPECT_EQ(r.out, std::string(kBanner) + summary_text(in, other, "Class", "0", "255") +
                             "\nSame file name (" + in + ") has been specified twice\n" + kUsage);
        EXPECT_EQ(r.status, 255);
        EXPECT_TRUE(read_file(in) == before) << other;
    }
}

TEST_F(Filter, refuses_inputs_whose_header_block_is_cut_short_or_overlapped)
{
    std::vector<unsigned char> bytes = las_image(LasOptions(), ramp(3));
    write_file(in, std::vector<unsigned char>(bytes.begin(), bytes.begin() + 200));
    RunResult r = filter(9, "0", "255");
    EXPECT_EQ(r.out, prologue(9, "0", "255") + "\nFile " + in +
                         " is too short to hold a LAS header block\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));

    bytes[96] = 200;  // OffsetToData 200
    write_file(in, bytes);
    r = filter(9, "0", "255");
    EXPECT_EQ(r.out, prologue(9, "0", "255") + "\nOffsetToData of " + in +
                         " (200) lies inside its 227-byte header block\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}

TEST_F(Filter, reports_a_failed_write_and_removes_the_incomplete_output)
{
    make_input(LasOptions(), ramp(20000));  // about 560 kB
    RunResult r = filter_all_intensities_after([] {
        struct rlimit lim = {100000, 100000};  // a 100 kB file-size limit
        setrlimit(RLIMIT_FSIZE, &lim);
        signal(SIGXFSZ, SIG_IGN);
    });
    EXPECT_EQ(r.out, prologue(4, "0", "65535") + "\nCannot write output LAS file " + out + "\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}

TEST_F(Filter, reports_a_failed_read_and_removes_the_incomplete_output)
{
#ifdef QUORVANE_SANITIZED
    GTEST_SKIP() << "a preloaded shim cannot load ahead of the sanitizer runtime";
#endif
    make_input(LasOptions(), ramp(100000));  // 2.8 MB: the read fails after the first batch
    RunResult r = filter_all_intensities_after([&] {
        setenv("LD_PRELOAD", FAIL_READ_SHIM, 1);
        setenv("QUORVANE_FAIL_READ", in.c_str(), 1);
        setenv("QUORVANE_FAIL_AFTER", "1000000", 1);
    });
    EXPECT_EQ(r.out, prologue(4, "0", "65535") + "\nError reading input LAS file " + in + "\n\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}

TEST_F(Filter, reports_an_output_that_cannot_be_opened)
{
    make_input(LasOptions(), ramp(5));
    out = dir.file("missing/out.las");
    RunResult r = filter(9, "0", "255");
    EXPECT_EQ(r.out, prologue(9, "0", "255") + "\nCannot open output LAS file " + out +
                         " for writing\n\n" + kUsage);
    EXPECT_EQ(r.status, 255);
}

TEST_F(Filter, never_removes_a_device_named_as_output)
{
    make_input(LasOptions(), ramp(5));
    out = dir.file("null");
    if (mknod(out.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot create a device node here";
    RunResult r = filter(9, "200", "255");  // nothing kept
    EXPECT_EQ(r.status, 255);
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(Filter, leaves_the_stored_count_when_the_header_update_refuses_the_output_name)
{
    make_input(LasOptions(), ramp(40));
    out = dir.file("out.txt");
    Expected e = expected_filter(read_file(in), 9, 2, 2);
    RunResult r = filter(9, "2", "2");
    std::string text = completed_run_text(out, e.claimed, e.kept);
    text = text.substr(0, text.find("\rHeader"));
    EXPECT_EQ(r.out, prologue(9, "2", "2") + text + "\nFile extension of " + out + " is not .las\n");
    EXPECT_EQ(r.status, 255);
    std::vector<unsigned char> written = read_file(out);
    ASSERT_EQ(written.size(), e.file.size());
    LAS12Header h;
    memcpy(&h, written.data(), sizeof h);
    EXPECT_EQ(+h.NumberOfPointReturns, e.kept);
}

}  // namespace
