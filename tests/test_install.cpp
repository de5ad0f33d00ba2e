// The installed tree, the Debian package and the manual page, used the way the
// suite's other tools, a packager and a reader use them: install into a
// temporary prefix, build a small C program against the library through the
// CMake package and through pkg-config, run it, and look inside the package.
#include "file_compare.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// What the installed tree holds, relative to the prefix.
const char *const kInstalledFiles[] = {
    "bin/Quorvane", "include/Kelvory_LiDAR.h", "share/man/man1/Quorvane.1",
    "lib/libKelvory_LiDAR.so.1.0.0", "lib/libKelvory_LiDAR.so.1", "lib/libKelvory_LiDAR.so",
    "lib/cmake/Kelvory_LiDAR/Kelvory_LiDARConfig.cmake",
    "lib/cmake/Kelvory_LiDAR/Kelvory_LiDARConfigVersion.cmake",
    "lib/cmake/Kelvory_LiDAR/Kelvory_LiDARTargets.cmake",
    "lib/pkgconfig/Kelvory_LiDAR.pc",
};

std::string q(const std::string &s) { return "'" + s + "'"; }

// A program of this build in a shell command: through the cross build's
// emulator, if any.
std::string target(const std::string &program) { return launcher_command() + q(program); }

// Runs `command` through the shell with its standard error joined to the
// output (returned without trailing newlines when `trim`); a failure is
// reported with everything printed, for callers to stop on with HasFailure().
std::string run_ok(const std::string &command, bool trim = true)
{
    RunResult r = run_program("/bin/sh", {"-c", command + " 2>&1"});
    if (r.status != 0)
        ADD_FAILURE() << command << "\nstatus " << r.status << "\n" << r.out;
    while (trim && !r.out.empty() && r.out.back() == '\n')
        r.out.pop_back();
    return r.out;
}

// The library directory the pkg-config file in `pc_dir` names.
std::string pc_libdir(const std::string &pc_dir)
{
    set_env("PKG_CONFIG_PATH", pc_dir.c_str());
    return run_ok(q(PKG_CONFIG_EXE) + " --variable=libdir Kelvory_LiDAR");
}

class InstalledTree : public ::testing::Test {
protected:
    TempDir tmp;
    std::string prefix = tmp.file("prefix");

    // Installs, and makes a LAS 1.2 format 1 file and a LAS 1.0 format 0 file.
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "the install tree, the CMake package and pkg-config file checked here are "
                        "those of Linux; Windows gets the zip";
#endif
        // The programs built here must find the library through what the
        // installed files tell them, not through the caller's environment.
        unset_env("LD_LIBRARY_PATH");
        unset_env("CMAKE_PREFIX_PATH");
        run_ok(q(CMAKE_EXE) + " --install " + q(BUILD_DIR) + " --prefix " + q(prefix) + " && " +
               target(MAKE_LAS_EXE) + " " + q(tmp.file("v12_fmt1.las")) + " 50 1 2 && " +
               target(MAKE_LAS_EXE) + " " + q(tmp.file("v10_fmt0.las")) + " 50 0 0");
        ASSERT_FALSE(HasFailure());
    }

    // The consumer checks both files and sorts four keys.
    void expect_consumer_runs(const std::string &exe)
    {
        std::string a = tmp.file("v12_fmt1.las"), b = tmp.file("v10_fmt0.las");
        EXPECT_EQ(run_ok(target(exe) + " " + q(a) + " " + q(b), false),
                  "check_las " + a + ": 6\ncheck_las " + b + ": 1\n"
                  "keys: -3 -3 0 10\nfrom: 2 0 3 1\n");
    }
};

TEST_F(InstalledTree, holds_the_tool_library_header_package_files_and_manual)
{
    for (const char *rel : kInstalledFiles)
        EXPECT_TRUE(file_exists(prefix + "/" + rel)) << rel << " is not installed";
    EXPECT_EQ(access((prefix + "/bin/Quorvane").c_str(), X_OK), 0);
    EXPECT_TRUE(
        same_bytes(read_file(prefix + "/share/man/man1/Quorvane.1"), read_file(MAN_PAGE)));

    // The development link, the SONAME link and the SONAME itself.
    std::string lib = prefix + "/lib/libKelvory_LiDAR.so";
    EXPECT_EQ(run_ok("readlink " + q(lib)), "libKelvory_LiDAR.so.1");
    EXPECT_EQ(run_ok("readlink " + q(lib + ".1")), "libKelvory_LiDAR.so.1.0.0");
    ASSERT_STRNE(READELF_EXE, "") << "readelf was not found; the SONAME cannot be checked";
    EXPECT_NE(run_ok(q(READELF_EXE) + " -d " + q(lib + ".1.0.0")).find(
                  "Library soname: [libKelvory_LiDAR.so.1]"),
              std::string::npos);

    // The installed tool runs on its own: keep every point of a file.
    std::string in = tmp.file("v12_fmt1.las"), out = tmp.file("all.las");
    EXPECT_NE(run_ok(target(prefix + "/bin/Quorvane") + " " + q(in) + " " + q(out) + " 9 0 255")
                  .find("Output Records :        50\n"),
              std::string::npos);
    EXPECT_TRUE(same_las_bytes(read_file(out), read_file(in)));
}

TEST_F(InstalledTree, c_consumer_builds_through_the_cmake_package)
{
    std::string build = tmp.file("consumer-cmake");
    std::string conf = run_ok(q(CMAKE_EXE) + " -S " + q(CONSUMER_SOURCE_DIR) + " -B " + q(build) +
                              " -DCMAKE_PREFIX_PATH=" + q(prefix) + " -DCMAKE_C_COMPILER=" +
                              q(C_COMPILER) + " -DCMAKE_C_FLAGS=" + q(CONSUMER_FLAGS) +
                              " -DCMAKE_EXE_LINKER_FLAGS=" + q(CONSUMER_FLAGS));
    ASSERT_FALSE(HasFailure());
    // The package found is the one just installed, not some other copy.
    EXPECT_NE(conf.find("Kelvory_LiDAR package: " + prefix + "/lib/cmake/Kelvory_LiDAR"),
              std::string::npos)
        << conf;
    run_ok(q(CMAKE_EXE) + " --build " + q(build));
    ASSERT_FALSE(HasFailure());
    expect_consumer_runs(build + "/consumer");
}

TEST_F(InstalledTree, c_consumer_builds_through_pkg_config)
{
    if (std::string(PKG_CONFIG_EXE).empty())
        GTEST_SKIP() << "pkg-config is not installed";
    // The file finds the prefix from its own place.
    std::string lib = pc_libdir(prefix + "/lib/pkgconfig");
    EXPECT_TRUE(file_exists(lib + "/libKelvory_LiDAR.so")) << lib;
    EXPECT_EQ(run_ok(q(PKG_CONFIG_EXE) + " --modversion Kelvory_LiDAR"), "1.0.0");
    std::string flags = run_ok(q(PKG_CONFIG_EXE) + " --cflags --libs Kelvory_LiDAR");
    std::string exe = tmp.file("consumer-pc");
    run_ok(q(C_COMPILER) + " -std=c11 -Wall -Wextra -Werror -pedantic " CONSUMER_FLAGS " " +
           q(std::string(CONSUMER_SOURCE_DIR) + "/consumer.c") + " -o " + q(exe) + " " + flags +
           " -Wl,-rpath," + q(lib));
    ASSERT_FALSE(HasFailure());
    expect_consumer_runs(exe);
}

// Builds the Debian package from the build folder (slow: a few seconds).
TEST(DebianPackage, holds_the_installed_tree_under_usr)
{
#ifdef _WIN32
    GTEST_SKIP() << "Debian packages are built for Linux; Windows gets the zip";
#endif
    if (std::string(DPKG_DEB_EXE).empty())
        GTEST_SKIP() << "dpkg-deb is not installed; no Debian package can be built";
    if (cross_build())
        GTEST_SKIP() << "a cross build's package needs the target's libraries installed as Debian "
                        "packages of its architecture, for dpkg-shlibdeps, and this machine has none";
    TempDir out;
    run_ok(q(CPACK_EXE) + " -G DEB --config " + q(std::string(BUILD_DIR) + "/CPackConfig.cmake") +
           " -B " + q(out.path));
    std::string deb = run_ok("ls " + q(out.path) + "/*.deb");
    ASSERT_FALSE(HasFailure());
    const std::string dpkg = q(DPKG_DEB_EXE);
    EXPECT_EQ(run_ok(dpkg + " --field " + q(deb) + " Package Version"),
              "Package: quorvane\nVersion: 1.0.0");

    // Each installed file as a file or a link; build helpers stay out.
    std::string list = run_ok(dpkg + " --contents " + q(deb), false);
    for (const char *rel : kInstalledFiles) {
        std::string entry = std::string(" ./usr/") + rel;
        EXPECT_TRUE(list.find(entry + "\n") != std::string::npos ||
                    list.find(entry + " -> ") != std::string::npos)
            << rel << " is not in the package:\n" << list;
    }
    EXPECT_EQ(list.find("make_las"), std::string::npos) << list;

    // Unpacked anywhere, the pkg-config file still points at its own tree.
    if (std::string(PKG_CONFIG_EXE).empty())
        return;
    run_ok(dpkg + " --extract " + q(deb) + " " + q(out.file("root")));
    std::string lib = pc_libdir(out.file("root") + "/usr/lib/pkgconfig");
    EXPECT_TRUE(file_exists(lib + "/libKelvory_LiDAR.so.1")) << lib;
}

TEST(ManualPage, renders_without_warnings)
{
    if (std::string(GROFF_EXE).empty())
        GTEST_SKIP() << "groff is not installed; the manual page cannot be checked";
    EXPECT_EQ(run_ok(q(GROFF_EXE) + " -man -ww -z " + q(MAN_PAGE)), "");
}

// The page names every attribute as the tool's request summary does.
TEST(ManualPage, names_every_attribute_as_the_tool_prints_it)
{
    std::vector<unsigned char> bytes = read_file(MAN_PAGE);
    std::string page(bytes.begin(), bytes.end());
    TempDir tmp;
    for (int id = 1; id <= 13; id++) {
        RunResult r = run_quorvane({tmp.file("none.las"), tmp.file("out.las"),
                                    std::to_string(id), "0", "0"});
        size_t at = r.out.find("Attribute = ");
        ASSERT_NE(at, std::string::npos) << r.out;
        std::string name = r.out.substr(at + 12, r.out.find('\n', at) - at - 12);
        EXPECT_NE(page.find("(" + name + ")"), std::string::npos)
            << "attribute " << id << " (" << name << ") is not in the manual page";
    }
}

}  // namespace
