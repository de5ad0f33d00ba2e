// Interrupts on a POSIX system: the incomplete output removed and the run
// ended by the signal, a complete one kept (Windows' Ctrl-C is checked from
// the host: tests/tool/platform/windows/ctrl_c.sh).
#include "filter_fixture.h"

#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

class Interrupt : public Filter {
protected:
    std::vector<unsigned char> before;
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "Windows has no POSIX signals nor setrlimit; a console Ctrl-C is checked from the host "
                        "by Windows.ctrl_c_in_a_console_at_scan_update_done_and_gps";
#endif
        make_input(LasOptions(), ramp(70000));  // more than one batch of records
        before = read_file(in);
    }
#ifndef _WIN32
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
#ifndef _WIN32
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
#ifndef _WIN32
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
#ifndef _WIN32
    // SIGHUP is discarded as it is sent; the SIGTERM that follows ends the run.
    RunResult r = held_at("scan", SIGHUP, 4, [] { signal(SIGHUP, SIG_IGN); }, SIGTERM);
    EXPECT_EQ(r.status, killed_by(SIGTERM));
    EXPECT_FALSE(file_exists(out));
#endif
}

TEST_F(Interrupt, a_file_size_limit_removes_the_output)
{
#ifndef _WIN32
    RunResult r = filter(4, "0", "65535", [] {
        struct rlimit lim = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &lim);
    });
    EXPECT_EQ(r.status, killed_by(SIGXFSZ));
    EXPECT_FALSE(file_exists(out));
#endif
}

}  // namespace
