// Argument checks: exact messages and outcomes. Every call runs in a child
// process, so the routines that end the process can be observed like the
// ones that return; "[returned]" marks a call that came back.
#include "Kelvory_LiDAR.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

const std::string kInvalid = "\nInvalid argument value (%)\n";
const std::string kYNMessage = "\nASCII Header Flag should be either Y (y) or N (n)\n";
const std::string kDEMExtension =
    "\nDEM file extension should be either '.asc' (ASCII) or '.flt' (floating point binary)\n";
const std::string kNeedsHeader =
    "\nFloating point binary DEM files also require a ASCII header file ('.hdr')\n";

// `text` with its one '%' replaced by `value`.
std::string fill(const std::string &text, const std::string &value)
{
    std::string s = text;
    return s.replace(s.find('%'), 1, value);
}

std::string not_extension(const std::string &name, const std::string &ext)
{
    return "\nFile extension of " + name + " is not ." + ext + "\n";
}

std::string unable_to_open(const std::string &name)
{
    return "Unable to open file " + name + " in file_access()\n";
}

RunResult numeric(const std::string &text)
{
    return run_in_child([&] {
        check_numeric_argument(text.c_str());
        printf("[returned]");
    });
}

RunResult yes_no(const std::string &text)
{
    return run_in_child([&] { printf("[%d]", check_YN(text.c_str())); });
}

// check_DEM run from `dir` (when given), so that relative names resolve there.
RunResult dem(const std::string &name, const std::string &dir = "")
{
    return run_in_child([&] {
        if (!dir.empty() && chdir(dir.c_str()) != 0)
            return;
        check_DEM(name.c_str());
        printf("[returned]");
    });
}

void touch(const std::string &path)
{
    ASSERT_TRUE(write_file(path, {'n', 'c', 'o', 'l', 's'})) << path;
}

// ---------------------------------------------------------------------------
// check_numeric_argument

TEST(NumericArgument, accepts_digits_with_one_dot_and_one_dash_anywhere)
{
    for (const char *text : {"12", "-3.5", ".5", "5.", "5-", "1-2", "-.", "", "0007"}) {
        RunResult r = numeric(text);
        EXPECT_EQ(r.out, "[returned]") << text;
        EXPECT_EQ(r.status, 0) << text;
    }
}

TEST(NumericArgument, refuses_other_texts_and_ends_with_status_255)
{
    for (const char *text : {".", "-", "1.2.3", "--5", "+5", "1e5", "1,5", " 5", "5 ", "12a"}) {
        RunResult r = numeric(text);
        EXPECT_EQ(r.out, fill(kInvalid, text)) << text;
        EXPECT_EQ(r.status, 255) << text;
    }
}

// ---------------------------------------------------------------------------
// check_YN

TEST(YesNoFlag, accepts_the_four_single_letters_silently)
{
    for (const char *text : {"Y", "N", "y", "n"}) {
        RunResult r = yes_no(text);
        EXPECT_EQ(r.out, "[0]") << text;
        EXPECT_EQ(r.status, 0) << text;
    }
}

TEST(YesNoFlag, refuses_anything_else_and_returns_to_its_caller)
{
    for (const char *text : {"yes", "YES", "", "Y ", "x"}) {
        RunResult r = yes_no(text);
        EXPECT_EQ(r.out, kYNMessage + "[-1]") << text;
        EXPECT_EQ(r.status, 0) << text;
    }
}

// ---------------------------------------------------------------------------
// check_DEM

TEST(DEMName, ascii_grid_returns_after_the_flt_answer)
{
    RunResult r = dem("dem.asc");
    EXPECT_EQ(r.out, not_extension("dem.asc", "flt") + "[returned]");
    EXPECT_EQ(r.status, 0);
}

TEST(DEMName, float_grid_with_its_header_beside_it_returns_after_the_asc_answer)
{
    TempDir tmp;
    std::string data = tmp.file("data");
    ASSERT_EQ(mkdir(data.c_str(), 0755), 0);
    touch(data + "/dem.hdr");
    RunResult r = dem("data/dem.flt", tmp.path);
    EXPECT_EQ(r.out, not_extension("data/dem.flt", "asc") + "[returned]");
    EXPECT_EQ(r.status, 0);
}

TEST(DEMName, float_grid_without_its_header_is_refused_naming_the_header)
{
    TempDir tmp;
    std::string name = tmp.file("dem.flt");
    touch(name);
    RunResult r = dem(name);
    EXPECT_EQ(r.out, not_extension(name, "asc") + unable_to_open(tmp.file("dem.hdr")) +
                         kNeedsHeader);
    EXPECT_EQ(r.status, 255);
}

TEST(DEMName, five_character_name_looks_for_its_header_beside_it)
{
    TempDir tmp;
    RunResult absent = dem("a.flt", tmp.path);
    EXPECT_EQ(absent.out, not_extension("a.flt", "asc") + unable_to_open("a.hdr") + kNeedsHeader);
    EXPECT_EQ(absent.status, 255);

    touch(tmp.file("a.hdr"));
    RunResult present = dem("a.flt", tmp.path);
    EXPECT_EQ(present.out, not_extension("a.flt", "asc") + "[returned]");
    EXPECT_EQ(present.status, 0);
}

TEST(DEMName, other_extensions_are_refused_after_both_answers)
{
    for (const char *name : {"DEM.FLT", "dem.txt", "dem.Asc"}) {
        RunResult r = dem(name);
        EXPECT_EQ(r.out, not_extension(name, "asc") + not_extension(name, "flt") + kDEMExtension)
            << name;
        EXPECT_EQ(r.status, 255) << name;
    }
}

TEST(DEMName, extension_must_be_the_last_four_characters)
{
    std::string dotless = "\nExtension of file dem.flt2 should be preceeded by a dot (.)\n";
    RunResult r = dem("dem.flt2");
    EXPECT_EQ(r.out, dotless + dotless + kDEMExtension);
    EXPECT_EQ(r.status, 255);
}

TEST(DEMName, name_of_four_characters_is_refused_as_too_short)
{
    std::string short_name = "\nFile name (.flt) is too short\n";
    RunResult r = dem(".flt");
    EXPECT_EQ(r.out, short_name + short_name + kDEMExtension);
    EXPECT_EQ(r.status, 255);
}

// Names longer than 79 characters are examined like short ones: the header
// name is built at the length it needs.
TEST(DEMName, long_float_grid_name_finds_its_header)
{
    TempDir tmp;
    std::string dir = tmp.file(std::string(150, 'd'));
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    std::string name = dir + "/elevation.flt";
    touch(dir + "/elevation.hdr");
    RunResult r = dem(name);
    EXPECT_EQ(r.out, not_extension(name, "asc") + "[returned]");
    EXPECT_EQ(r.status, 0);
}

TEST(DEMName, very_long_float_grid_name_is_refused_naming_its_whole_header)
{
    std::string core = "/nonexistent/" + std::string(5000, 'x');
    RunResult r = dem(core + ".flt");
    EXPECT_EQ(r.out, not_extension(core + ".flt", "asc") + unable_to_open(core + ".hdr") +
                         kNeedsHeader);
    EXPECT_EQ(r.status, 255);
}

}  // namespace
