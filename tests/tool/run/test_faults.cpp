// A failing disk or file system: every file call the test build can make
// fail (library/internal/faults.h), reported, with nothing false left at the
// output path.
#include "filter_fixture.h"

namespace {

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
    // The run fails at `fault`, printing `after_prologue` after the request
    // summary, and leaves no output.
    void expect_pass_fails(const Injected &fault, const std::string &after_prologue)
    {
        SCOPED_TRACE(std::string(fault.call) + " " + fault.path + " " + std::to_string(fault.at));
        RunResult r = filter_with(fault);
        EXPECT_EQ(r.out, prologue("Intensity", "0", "65535") + after_prologue);
        EXPECT_EQ(r.status, 255);
        EXPECT_FALSE(file_exists(out));
    }
    const std::string all_kept = "Input Records  :    100000\n"
                                 "Output Records :    100000\n"
                                 "% Retained     :       100.00\n\n";
    const std::string updating_after_prologue =
        all_kept + "... Updating Header ...                                                       \r";
    const std::string updating = prologue("Intensity", "0", "65535") + updating_after_prologue;
};

TEST_F(Fault, a_failed_read_reports_it_and_removes_the_incomplete_output)
{
    // The input's header, its first batch, its second; the seek to its points.
    for (const Injected &fault : {Injected{"read", "in.las", 3, 3}, Injected{"seek", "in.las", 1, 3}})
        expect_pass_fails(fault, "\nError reading input LAS file in.las\n\n");
}

TEST_F(Fault, a_failed_write_seek_or_close_of_the_output_reports_it_and_removes_it)
{
    const std::string unwritten = "\nCannot write output LAS file out.las\n\n";
    expect_pass_fails({"write", "out.las", 1, 1}, unwritten);  // the header
    expect_pass_fails({"seek", "out.las", 1, 1}, unwritten);
    expect_pass_fails({"seek", "out.las", 2, 1}, all_kept + unwritten);  // to store the kept count
    expect_pass_fails({"close", "out.las", 1, 1}, all_kept + unwritten);
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
    for (const Case &c : cases)
        expect_pass_fails(c.fault, updating_after_prologue + c.message);
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
    expect_pass_fails({"open", "in.las", 2, 0}, "\nCannot open file in.las in binary mode\n\n");
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
