// The LAS writer's command refuses arguments that are not what it asks for,
// writing nothing, instead of looping on a wrapped count.
#include "run_tool.h"

#include <gtest/gtest.h>

namespace {

TEST(MakeLas, refuses_counts_formats_versions_and_seeds_out_of_range)
{
    TempDir dir;
    const std::string out = dir.file("f.las");
    const std::vector<std::vector<std::string>> refused = {
        {out, "-1"}, {out, "5000000000"}, {out, "4294967296"}, {out, "abc"}, {out, ""},
        {out, "12x"}, {out, " 5"}, {out, "+5"}, {out, "5", "4"}, {out, "5", "1", "3"},
        {out, "5", "1", "2", "seed"}, {out, "5", "-1"}, {out}, {out, "1", "1", "2", "1", "x"}};
    for (const auto &args : refused) {
        RunResult r = run_program(MAKE_LAS_EXE, args);
        EXPECT_EQ(r.status, 2) << args[1 % args.size()];
        EXPECT_EQ(r.err, "Usage: make_las <output.las> <points 0-4294967295> [format 0-3] [minor 0-2] [seed]\n");
        EXPECT_FALSE(file_exists(out));
    }
    RunResult r = run_program(MAKE_LAS_EXE, {out, "0", "3", "2", "18446744073709551615"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(out).size(), 227u + 54 + 9);  // header, one projection record, no points
}

}  // namespace
