// The installed tree, the Debian package and the manual page, used the way the
// suite's other tools, a packager and a reader use them: install into a
// temporary prefix, build a small C program against the library through the
// CMake package and through pkg-config, run it, and look inside the package.
#include "file_compare.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
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
// output (returned without trailing blanks when `trim`); a failure is
// reported with everything printed, for callers to stop on with HasFailure().
std::string run_ok(const std::string &command, bool trim = true)
{
    RunResult r = run_program("/bin/sh", {"-c", command + " 2>&1"});
    if (r.status != 0)
        ADD_FAILURE() << command << "\nstatus " << r.status << "\n" << r.out;
    while (trim && !r.out.empty() && (r.out.back() == '\n' || r.out.back() == ' '))
        r.out.pop_back();
    return r.out;
}

// The library directory the pkg-config file in `pc_dir` names.
std::string pc_libdir(const std::string &pc_dir)
{
    set_env("PKG_CONFIG_PATH", pc_dir.c_str());
    return run_ok(q(PKG_CONFIG_EXE) + " --variable=libdir Kelvory_LiDAR");
}

// Two inputs for the consumer: a LAS 1.2 format 1 file and a LAS 1.0 format
// 0 file, made in `tmp`.
void make_consumer_inputs(const TempDir &tmp)
{
    run_ok(target(MAKE_LAS_EXE) + " " + q(tmp.file("v12_fmt1.las")) + " 50 1 2 && " +
           target(MAKE_LAS_EXE) + " " + q(tmp.file("v10_fmt0.las")) + " 50 0 0");
}

// The consumer checks both inputs and sorts four keys.
void expect_consumer_runs(const TempDir &tmp, const std::string &exe)
{
    std::string a = tmp.file("v12_fmt1.las"), b = tmp.file("v10_fmt0.las");
    EXPECT_EQ(run_ok(target(exe) + " " + q(a) + " " + q(b), false),
              "check_las " + a + ": 6\ncheck_las " + b + ": 1\n"
              "keys: -3 -3 0 10\nfrom: 2 0 3 1\n");
}

// Configures the consumer in `build` with CMake, `find` telling it where the
// package is, and builds it; returns what the configuration printed.
std::string build_consumer_with_cmake(const std::string &build, const std::string &find)
{
    std::string conf = run_ok(q(CMAKE_EXE) + " -S " + q(CONSUMER_SOURCE_DIR) + " -B " + q(build) + find +
                              " -DCMAKE_C_COMPILER=" + q(C_COMPILER) + " -DCMAKE_C_FLAGS=" +
                              q(CONSUMER_FLAGS) + " -DCMAKE_EXE_LINKER_FLAGS=" + q(CONSUMER_FLAGS));
    run_ok(q(CMAKE_EXE) + " --build " + q(build));
    return conf;
}

// Builds the consumer as `exe` with the flags pkg-config gives for the file
// PKG_CONFIG_PATH names (see pc_libdir), the library found at run time in
// `lib`.
void build_consumer_with_pkg_config(const std::string &exe, const std::string &lib)
{
    std::string flags = run_ok(q(PKG_CONFIG_EXE) + " --cflags --libs Kelvory_LiDAR");
    run_ok(q(C_COMPILER) + " -std=c11 -Wall -Wextra -Werror -pedantic " CONSUMER_FLAGS " " +
           q(std::string(CONSUMER_SOURCE_DIR) + "/consumer.c") + " -o " + q(exe) + " " + flags +
           " -Wl,-rpath," + q(lib));
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
        run_ok(q(CMAKE_EXE) + " --install " + q(BUILD_DIR) + " --prefix " + q(prefix));
        make_consumer_inputs(tmp);
        ASSERT_FALSE(HasFailure());
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
    std::string conf = build_consumer_with_cmake(build, " -DCMAKE_PREFIX_PATH=" + q(prefix));
    ASSERT_FALSE(HasFailure());
    // The package found is the one just installed, not some other copy.
    EXPECT_NE(conf.find("Kelvory_LiDAR package: " + prefix + "/lib/cmake/Kelvory_LiDAR"),
              std::string::npos)
        << conf;
    expect_consumer_runs(tmp, build + "/consumer");
}

TEST_F(InstalledTree, c_consumer_builds_through_pkg_config)
{
    if (std::string(PKG_CONFIG_EXE).empty())
        GTEST_SKIP() << "pkg-config is not installed";
    // The file finds the prefix from its own place.
    std::string lib = pc_libdir(prefix + "/lib/pkgconfig");
    EXPECT_TRUE(file_exists(lib + "/libKelvory_LiDAR.so")) << lib;
    EXPECT_EQ(run_ok(q(PKG_CONFIG_EXE) + " --modversion Kelvory_LiDAR"), "1.0.0");
    std::string exe = tmp.file("consumer-pc");
    build_consumer_with_pkg_config(exe, lib);
    ASSERT_FALSE(HasFailure());
    expect_consumer_runs(tmp, exe);
}

// --- The Debian packages --------------------------------------------------

// What each package holds besides its folders, with <lib> for the multiarch
// library folder.
const std::pair<const char *, std::vector<std::string>> kPackages[] = {
    {"quorvane",
     {"usr/bin/Quorvane", "usr/share/doc/quorvane/changelog.gz", "usr/share/man/man1/Quorvane.1.gz"}},
    {"libkelvory-lidar1",
     {"<lib>/libKelvory_LiDAR.so.1 -> libKelvory_LiDAR.so.1.0.0", "<lib>/libKelvory_LiDAR.so.1.0.0",
      "usr/share/doc/libkelvory-lidar1/changelog.gz"}},
    {"libkelvory-lidar-dev",
     {"usr/include/Kelvory_LiDAR.h", "<lib>/cmake/Kelvory_LiDAR/Kelvory_LiDARConfig.cmake",
      "<lib>/cmake/Kelvory_LiDAR/Kelvory_LiDARConfigVersion.cmake",
      "<lib>/cmake/Kelvory_LiDAR/Kelvory_LiDARTargets-release.cmake",
      "<lib>/cmake/Kelvory_LiDAR/Kelvory_LiDARTargets.cmake",
      "<lib>/libKelvory_LiDAR.so -> libKelvory_LiDAR.so.1", "<lib>/pkgconfig/Kelvory_LiDAR.pc",
      "usr/share/doc/libkelvory-lidar-dev/changelog.gz"}},
};

// The packages made as a packager makes them: this source configured for
// /usr with this build's toolchain, built, and packed by cpack (slow the
// first time: a build of its own, in BUILD_DIR/debian).
class DebianPackage : public ::testing::Test {
protected:
    TempDir tmp;
    std::string dir = std::string(BUILD_DIR) + "/debian";
    std::string dpkg = q(DPKG_DEB_EXE);

    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "Debian packages are built for Linux; Windows gets the zip";
#endif
        if (std::string(DPKG_DEB_EXE).empty())
            GTEST_SKIP() << "dpkg-deb is not installed; no Debian package can be built";
        if (SANITIZED_BUILD)
            GTEST_SKIP() << "the packages come from a release build of their own, made once a run by the "
                            "release build's tests";
        const std::string toolchain = TOOLCHAIN_FILE;
        run_ok(q(CMAKE_EXE) + " -S " + q(SOURCE_DIR) + " -B " + q(dir) +
               " -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF"
               " -DQUORVANE_BENCH=OFF" +
               (toolchain.empty() ? "" : " -DCMAKE_TOOLCHAIN_FILE=" + q(toolchain)) + " && " +
               q(CMAKE_EXE) + " --build " + q(dir) + " -j2 && rm -f " + q(dir) + "/*.deb && cd " +
               q(dir) + " && " + q(CPACK_EXE) + " -G DEB");
        ASSERT_FALSE(HasFailure());
    }

    std::string deb(const std::string &package) { return dir + "/" + package + "_1.0.0_" + arch() + ".deb"; }

    // The architecture the tool's machine code is for, from its ELF header.
    std::string arch()
    {
        const std::vector<unsigned char> elf = read_file(dir + "/Quorvane");
        const int machine = elf.size() > 19 ? elf[18] | elf[19] << 8 : 0;
        return machine == 62 ? "amd64" : machine == 183 ? "arm64" : "machine " + std::to_string(machine);
    }

    std::string libdir() { return arch() == "arm64" ? "usr/lib/aarch64-linux-gnu" : "usr/lib/x86_64-linux-gnu"; }

    // The package's files and links, as "path" and "path -> target".
    std::string files(const std::string &package)
    {
        std::istringstream lines(run_ok(dpkg + " --contents " + q(deb(package)), false));
        std::vector<std::string> paths;
        for (std::string line; std::getline(lines, line);) {
            const size_t at = line.find(" ./");
            if (at != std::string::npos && line.back() != '/')
                paths.push_back(line.substr(at + 3));
        }
        std::sort(paths.begin(), paths.end());
        std::string text;
        for (const std::string &p : paths)
            text += p + "\n";
        return text;
    }

    // Unpacks the packages into `root`, as `dpkg -x` does, never installed.
    std::string unpack(const std::vector<std::string> &packages)
    {
        std::string root = tmp.file("root");
        for (const std::string &p : packages)
            run_ok(dpkg + " --extract " + q(deb(p)) + " " + q(root));
        return root;
    }
};

TEST_F(DebianPackage, three_packages_for_the_target_each_with_its_files_and_relations)
{
    ASSERT_NE(arch().rfind("machine", 0), 0u) << arch();
    for (const auto &[package, expected] : kPackages) {
        std::string want;
        for (std::string path : expected) {
            if (path.rfind("<lib>", 0) == 0)
                path.replace(0, 5, libdir());
            want += path + "\n";
        }
        EXPECT_EQ(files(package), want) << package;
        EXPECT_EQ(run_ok(dpkg + " --field " + q(deb(package)) + " Package Version Architecture"),
                  "Package: " + std::string(package) + "\nVersion: 1.0.0\nArchitecture: " + arch());
    }
    const std::string tool = deb("quorvane"), runtime = deb("libkelvory-lidar1"), dev = deb("libkelvory-lidar-dev");
    // The tool holds the library's code itself; the development files need
    // exactly this release of the library.
    EXPECT_EQ(run_ok(dpkg + " --field " + q(tool) + " Depends").rfind("libc6 (>= ", 0), 0u);
    EXPECT_EQ(run_ok(dpkg + " --field " + q(dev) + " Depends"), "libkelvory-lidar1 (= 1.0.0)");
    EXPECT_EQ(run_ok(dpkg + " --info " + q(runtime) + " shlibs"), "libKelvory_LiDAR 1 libkelvory-lidar1 (>= 1.0.0)");
    // The linker cache is updated by a trigger, with no maintainer script.
    EXPECT_EQ(run_ok(dpkg + " --info " + q(runtime) + " triggers"), "activate-noawait ldconfig");
    for (const char *script : {"postinst", "postrm", "preinst", "prerm"})
        EXPECT_EQ(run_ok(dpkg + " --info " + q(runtime) + " " + script + " >/dev/null 2>&1 || echo none"), "none")
            << script;

    // Stripped binaries, and the manual as written, compressed.
    std::string root = unpack({"quorvane", "libkelvory-lidar1"});
    for (const std::string &binary : {root + "/usr/bin/Quorvane", root + "/" + libdir() + "/libKelvory_LiDAR.so.1.0.0"})
        EXPECT_EQ(run_ok(q(READELF_EXE) + " -S " + q(binary)).find(".symtab"), std::string::npos) << binary;
    run_ok("gzip -dc " + q(root + "/usr/share/man/man1/Quorvane.1.gz") + " > " + q(tmp.file("Quorvane.1")));
    EXPECT_TRUE(same_bytes(read_file(tmp.file("Quorvane.1")), read_file(MAN_PAGE)));
}

// lintian, as a Debian user or packager runs it, informational tags shown:
// nothing but the copyright file, which waits for the project's owner to
// choose a licence, and no hardening tag (its temporary files, some of which
// it leaves, in tmp).
TEST_F(DebianPackage, lintian_reports_only_the_missing_copyright_file)
{
    if (std::string(LINTIAN_EXE).empty())
        GTEST_SKIP() << "lintian is not installed";
    for (const auto &[package, files] : kPackages)
        EXPECT_EQ(run_ok("TMPDIR=" + q(tmp.path) + " " + q(LINTIAN_EXE) + " --display-info " + q(deb(package)) +
                         " 2>/dev/null | sed '/ hardening-/p; /^I: /d'"),
                  "E: " + std::string(package) + ": no-copyright-file");
}

// A program of the suite builds against the development package unpacked
// into a folder, through the CMake package and through pkg-config, and runs.
TEST_F(DebianPackage, c_consumer_builds_against_the_unpacked_packages)
{
    unset_env("LD_LIBRARY_PATH");
    const std::string root = unpack({"libkelvory-lidar1", "libkelvory-lidar-dev"});
    const std::string lib = root + "/" + libdir(), toolchain = TOOLCHAIN_FILE;
    make_consumer_inputs(tmp);
    // A cross toolchain looks for packages under its own root only, so the
    // package's folder is named there; natively the prefix is found.
    const std::string find = toolchain.empty() ? " -DCMAKE_PREFIX_PATH=" + q(root + "/usr")
                                               : " -DCMAKE_TOOLCHAIN_FILE=" + q(toolchain) +
                                                     " -DKelvory_LiDAR_DIR=" + q(lib + "/cmake/Kelvory_LiDAR");
    const std::string build = tmp.file("consumer-cmake");
    std::string conf = build_consumer_with_cmake(build, find);
    ASSERT_FALSE(HasFailure());
    EXPECT_NE(conf.find("Kelvory_LiDAR package: " + lib + "/cmake/Kelvory_LiDAR"), std::string::npos) << conf;
    expect_consumer_runs(tmp, build + "/consumer");

    if (std::string(PKG_CONFIG_EXE).empty())
        return;
    // Installed, the pkg-config file names /usr's folders, which pkg-config
    // leaves out (the package's library folder among them, as on its target).
    set_env("PKG_CONFIG_SYSTEM_LIBRARY_PATH", ("/" + libdir()).c_str());
    EXPECT_EQ(pc_libdir(lib + "/pkgconfig"), "/" + libdir());
    EXPECT_EQ(run_ok(q(PKG_CONFIG_EXE) + " --cflags --libs Kelvory_LiDAR"), "-lKelvory_LiDAR");
    // Unpacked into a folder, it is read with that folder as the system root.
    set_env("PKG_CONFIG_SYSROOT_DIR", root.c_str());
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::equivalent(pc_libdir(lib + "/pkgconfig"), lib, ec)) << ec.message();
    const std::string exe = tmp.file("consumer-pc");
    build_consumer_with_pkg_config(exe, lib);
    ASSERT_FALSE(HasFailure());
    expect_consumer_runs(tmp, exe);
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
