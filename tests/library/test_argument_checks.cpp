// Argument checks: exact messages and outcomes. Every call runs in a child
// process, so the routines that end the process (status 255) can be observed
// like the ones that return.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

const std::string kDEMExtension =
    "\nDEM file extension should be either '.asc' (ASCII) or '.flt' (floating point binary)\n";
const std::string kNeedsHeader =
    "\nFloating point binary DEM files also require a ASCII header file ('.hdr')\n";

std::string not_extension(const std::string &name, const std::string &ext)
{
    return "\nFile extension of " + name + " is not ." + ext + "\n";
}

std::string neither_extension(const std::string &name)
{
    return not_extension(name, "asc") + not_extension(name, "flt") + kDEMExtension;
}

TEST(NumericArgument, accepts_digits_with_one_dot_and_one_dash_and_ends_on_anything_else)
{
    for (const char *text : {"12", "-3.5", ".5", "5.", "5-", "1-2", "-.", "", "0007"}) {
        RunResult r = run_request("check_numeric_argument", {text});
        EXPECT_EQ(r.out, "") << text;
        EXPECT_TRUE(r.returned) << text;
    }
    for (const char *text : {".", "-", "1.2.3", "--5", "+5", "1e5", "1,5", " 5", "5 ", "12a"}) {
        RunResult r = run_request("check_numeric_argument", {text});
        EXPECT_EQ(r.out, "\nInvalid argument value (" + std::string(text) + ")\n") << text;
        EXPECT_FALSE(r.returned) << text;
        EXPECT_EQ(r.status, 255) << text;
    }
}

TEST(YesNoFlag, accepts_the_four_single_letters_and_returns_minus_1_on_anything_else)
{
    for (const char *text : {"Y", "N", "y", "n", "yes", "YES", "", "Y ", "x"}) {
        RunResult r = run_request("check_YN", {text});
        bool ok = strlen(text) == 1 && strchr("YNyn", text[0]);
        EXPECT_EQ(r.out, ok ? "" : "\nASCII Header Flag should be either Y (y) or N (n)\n") << text;
        EXPECT_EQ(r.result, ok ? 0 : -1) << text;
    }
}

TEST(DEMName, names_are_answered_by_their_last_four_characters)
{
    TempDir tmp;
    const std::string dotless = "\nExtension of file dem.flt2 should be preceeded by a dot (.)\n";
    const std::string too_short = "\nFile name (.flt) is too short\n";
    const struct { std::string name, out; bool returns; } cases[] = {
        {"dem.asc", not_extension("dem.asc", "flt"), true},
        {"DEM.FLT", neither_extension("DEM.FLT"), false},
        {"dem.txt", neither_extension("dem.txt"), false},
        {"dem.Asc", neither_extension("dem.Asc"), false},
        {"dem.flt2", dotless + dotless + kDEMExtension, false},
        {".flt", too_short + too_short + kDEMExtension, false},
    };
    for (const auto &c : cases) {
        RunResult r = run_request("check_DEM", {c.name}, tmp.path);  // names relative to tmp
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.returned, c.returns) << c.name;
        EXPECT_EQ(r.status, c.returns ? 0 : 255) << c.name;
    }
}

// A float grid returns when its '.hdr' opens and ends naming it otherwise,
// however short or long (beyond 79 characters) the name is.
TEST(DEMName, float_grid_needs_its_header_beside_it)
{
    TempDir tmp;
    const std::string dir = std::string(150, 'd');
    ASSERT_TRUE(std::filesystem::create_directory(tmp.file(dir)));
    for (const std::string &hdr : {std::string("b.hdr"), dir + "/elevation.hdr"})
        ASSERT_TRUE(write_file(tmp.file(hdr), {'n', 'c', 'o', 'l', 's'}));
    const struct { std::string core; bool present; } cases[] = {
        {"a", false}, {"b", true}, {dir + "/elevation", true},
        {"/nonexistent/" + std::string(5000, 'x'), false}};
    for (const auto &[core, present] : cases) {
        RunResult r = run_request("check_DEM", {core + ".flt"}, tmp.path);
        std::string refusal =
            "Unable to open file " + core + ".hdr in file_access()\n" + kNeedsHeader;
        EXPECT_EQ(r.out, not_extension(core + ".flt", "asc") + (present ? "" : refusal)) << core;
        EXPECT_EQ(r.returned, present) << core;
        EXPECT_EQ(r.status, present ? 0 : 255) << core;
    }
}

}  // namespace
