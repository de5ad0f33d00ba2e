// Every way a run ends, byte for byte: the summaries and messages it prints,
// its status, and what it leaves at the output path.
#include "filter_fixture.h"

#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

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

TEST_F(Filter, refuses_inputs_whose_header_block_is_cut_short_or_overlapped)
{
    std::vector<unsigned char> whole = las_image(LasOptions(), ramp(3)), overlapped = whole;
    overlapped[96] = 200;  // OffsetToData 200
    const std::pair<std::vector<unsigned char>, const char *> cases[] = {
        {{whole.begin(), whole.begin() + 200}, "\nFile in.las is too short to hold a LAS header block\n\n"},
        {overlapped, "\nOffsetToData of in.las (200) lies inside its 227-byte header block\n\n"}};
    for (const auto &[bytes, message] : cases) {
        write_file(in, bytes);
        RunResult r = filter(9, "0", "255");
        EXPECT_EQ(r.out, prologue("Class", "0", "255") + message);
        EXPECT_EQ(r.status, 255);
        EXPECT_FALSE(file_exists(out));
    }
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

}  // namespace
