// The output's guard on each platform: the input refused as output under any
// name, what a failed run removes and what it never does, and what only
// Windows has.
#include "filter_fixture.h"

#include <filesystem>
#include <sys/stat.h>
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

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

}  // namespace
