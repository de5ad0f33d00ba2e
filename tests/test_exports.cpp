// The executable exports every library routine under its plain name, and the
// shared library does the same.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

const char *const kRoutines[] = {
    "check_las", "file_access", "check_file_extension", "error_msg", "update_header",
    "initialize_header10", "initialize_header11", "initialize_header12", "credits",
    "l_qs", "l_quicksort", "d_qs", "d_quicksort", "l_parallel_qs", "l_parallel_quicksort",
    "d_parallel_qs", "d_parallel_quicksort", "check_numeric_argument", "check_YN", "check_DEM"};

std::set<std::string> defined_dynamic_symbols(const std::string &image)
{
    RunResult r = run_program("/bin/sh", {"-c", "nm -D --defined-only " + image});
    EXPECT_EQ(r.status, 0) << r.err;
    std::set<std::string> names;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string a, b, c;
        fields >> a >> b >> c;
        names.insert(c.empty() ? b : c);
    }
    return names;
}

void expect_all_routines(const std::string &image)
{
    std::set<std::string> names = defined_dynamic_symbols(image);
    for (const char *routine : kRoutines)
        EXPECT_TRUE(names.count(routine)) << routine << " is not exported by " << image;
}

TEST(Exports, executable_exports_every_routine_undecorated)
{
    expect_all_routines(QUORVANE_EXE);
}

TEST(Exports, executable_exports_nothing_else_of_its_own)
{
    std::set<std::string> names = defined_dynamic_symbols(QUORVANE_EXE);
    std::set<std::string> expected(std::begin(kRoutines), std::end(kRoutines));
    for (const std::string &name : names)
        if (name.rfind("_", 0) != 0 && !expected.count(name) && name.find("__") == std::string::npos)
            ADD_FAILURE() << "unexpected export " << name;
}

TEST(Exports, shared_library_exports_every_routine_undecorated)
{
    std::string exe = QUORVANE_EXE;
    expect_all_routines(exe.substr(0, exe.rfind('/')) + "/libKelvory_LiDAR.so");
}

}  // namespace
