// The scan's progress on a terminal, and nothing of it anywhere else.
#include "filter_fixture.h"

namespace {

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

}  // namespace
