// The installed tree, the Debian package and the manual page, used the way the
// suite's other tools, a packager and a reader use them: install into a
// temporary prefix, build a small C program against the library through the
// CMake package and through pkg-config, run it, and look inside the package.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The C consumer's own output for the files made by make_las_files().
const char *const kConsumerOutput =
    "check_las %s/v12_fmt1.las: 6\n"
    "check_las %s/v10_fmt0.las: 1\n"
    "keys: -3 -3 0 10\n"
    "from: 2 0 3 1\n";

// What the installed tree holds, relative to the prefix.
const char *const kInstalledFiles[] = {
    "bin/Quorvane",
    "lib/libKelvory_LiDAR.so.1.0.0",
    "lib/libKelvory_LiDAR.so.1",
    "lib/libKelvory_LiDAR.so",
    "include/Kelvory_LiDAR.h",
    "lib/cmake/Kelvory_LiDAR/Kelvory_LiDARConfig.cmake",
    "lib/cmake/Kelvory_LiDAR/Kelvory_LiDARConfigVersion.cmake",
    "lib/cmake/Kelvory_LiDAR/Kelvory_LiDARTargets.cmake",
    "lib/pkgconfig/Kelvory_LiDAR.pc",
    "share/man/man1/Quorvane.1",
};

std::string describe(const RunResult &r)
{
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

std::vector<std::string> split_words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

std::string trimmed(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

// Whether a `dpkg-deb --contents` listing holds `path` as a file or a link.
bool lists_entry(const std::string &listing, const std::string &path)
{
    return listing.find(" " + path + "\n") != std::string::npos ||
           listing.find(" " + path + " -> ") != std::string::npos;
}

std::string link_target(const std::string &path)
{
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, (size_t)n);
}

std::string expected_consumer_output(const std::string &dir)
{
    char buf[4096];
    snprintf(buf, sizeof buf, kConsumerOutput, dir.c_str(), dir.c_str());
    return buf;
}

// Compiler and linker flags the consumer needs to load a library built with
// sanitizers (empty in an ordinary build).
std::vector<std::string> consumer_flags()
{
    return split_words(CONSUMER_FLAGS);
}

class InstalledTree : public ::testing::Test {
protected:
    TempDir tmp;
    std::string prefix = tmp.file("prefix");

    void SetUp() override
    {
        // The programs built here must find the library through what the
        // installed files tell them, not through the caller's environment.
        unsetenv("LD_LIBRARY_PATH");
        unsetenv("CMAKE_PREFIX_PATH");
        RunResult r = run_program(CMAKE_EXE, {"--install", BUILD_DIR, "--prefix", prefix});
        ASSERT_EQ(r.status, 0) << describe(r);
    }

    // A LAS 1.2 format 1 file and a LAS 1.0 format 0 file.
    void make_las_files()
    {
        RunResult a = run_program(MAKE_LAS_EXE, {tmp.file("v12_fmt1.las"), "50", "1", "2"});
        ASSERT_EQ(a.status, 0) << describe(a);
        RunResult b = run_program(MAKE_LAS_EXE, {tmp.file("v10_fmt0.las"), "50", "0", "0"});
        ASSERT_EQ(b.status, 0) << describe(b);
    }

    RunResult run_consumer(const std::string &exe)
    {
        return run_program(exe, {tmp.file("v12_fmt1.las"), tmp.file("v10_fmt0.las")});
    }
};

TEST_F(InstalledTree, HoldsToolLibraryHeaderPackageFilesAndManual)
{
    for (const char *rel : kInstalledFiles)
        EXPECT_TRUE(file_exists(prefix + "/" + rel)) << rel << " is not installed";
    EXPECT_EQ(access((prefix + "/bin/Quorvane").c_str(), X_OK), 0);

    // The development link and the SONAME link, and the SONAME itself.
    EXPECT_EQ(link_target(prefix + "/lib/libKelvory_LiDAR.so"), "libKelvory_LiDAR.so.1");
    EXPECT_EQ(link_target(prefix + "/lib/libKelvory_LiDAR.so.1"), "libKelvory_LiDAR.so.1.0.0");
    if (std::string(READELF_EXE).empty()) {
        ADD_FAILURE() << "readelf was not found; the SONAME cannot be checked";
    } else {
        RunResult elf = run_program(READELF_EXE, {"-d", prefix + "/lib/libKelvory_LiDAR.so.1.0.0"});
        ASSERT_EQ(elf.status, 0) << describe(elf);
        EXPECT_NE(elf.out.find("Library soname: [libKelvory_LiDAR.so.1]"), std::string::npos)
            << elf.out;
    }

    EXPECT_EQ(read_file(prefix + "/share/man/man1/Quorvane.1"), read_file(MAN_PAGE));

    // The installed tool runs on its own: keep every point of a file.
    ASSERT_NO_FATAL_FAILURE(make_las_files());
    RunResult run = run_program(prefix + "/bin/Quorvane",
                                {tmp.path + "/v12_fmt1.las", tmp.path + "/all.las", "9", "0", "255"});
    EXPECT_EQ(run.status, 0) << describe(run);
    EXPECT_NE(run.out.find("Output Records :        50\n"), std::string::npos) << run.out;
    EXPECT_EQ(read_file(tmp.path + "/all.las"), read_file(tmp.path + "/v12_fmt1.las"));
}

TEST_F(InstalledTree, CConsumerBuildsThroughCMakePackage)
{
    ASSERT_NO_FATAL_FAILURE(make_las_files());
    std::string build = tmp.file("consumer-cmake");
    std::string flags;
    for (const std::string &f : consumer_flags())
        flags += f + " ";
    RunResult conf = run_program(CMAKE_EXE, {"-S", CONSUMER_SOURCE_DIR, "-B", build,
                                             "-DCMAKE_PREFIX_PATH=" + prefix,
                                             "-DCMAKE_C_COMPILER=" C_COMPILER,
                                             "-DCMAKE_C_FLAGS=" + flags,
                                             "-DCMAKE_EXE_LINKER_FLAGS=" + flags});
    ASSERT_EQ(conf.status, 0) << describe(conf);
    // The package found is the one just installed, not some other copy.
    EXPECT_NE(conf.out.find("Kelvory_LiDAR package: " + prefix + "/lib/cmake/Kelvory_LiDAR"),
              std::string::npos)
        << conf.out;
    RunResult make = run_program(CMAKE_EXE, {"--build", build});
    ASSERT_EQ(make.status, 0) << describe(make);

    RunResult r = run_consumer(build + "/consumer");
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(r.out, expected_consumer_output(tmp.path));
    EXPECT_EQ(r.err, "");
}

TEST_F(InstalledTree, CConsumerBuildsThroughPkgConfig)
{
    if (std::string(PKG_CONFIG_EXE).empty())
        GTEST_SKIP() << "pkg-config is not installed";
    ASSERT_NO_FATAL_FAILURE(make_las_files());
    setenv("PKG_CONFIG_PATH", (prefix + "/lib/pkgconfig").c_str(), 1);

    RunResult version = run_program(PKG_CONFIG_EXE, {"--modversion", "Kelvory_LiDAR"});
    ASSERT_EQ(version.status, 0) << describe(version);
    EXPECT_EQ(version.out, "1.0.0\n");
    RunResult libdir = run_program(PKG_CONFIG_EXE, {"--variable=libdir", "Kelvory_LiDAR"});
    ASSERT_EQ(libdir.status, 0) << describe(libdir);
    // The file finds the prefix from its own place.
    std::string lib = trimmed(libdir.out);
    EXPECT_TRUE(file_exists(lib + "/libKelvory_LiDAR.so")) << lib;
    RunResult cflags_libs = run_program(PKG_CONFIG_EXE, {"--cflags", "--libs", "Kelvory_LiDAR"});
    ASSERT_EQ(cflags_libs.status, 0) << describe(cflags_libs);

    std::string exe = tmp.file("consumer-pc");
    std::vector<std::string> args = {"-std=c11", "-Wall", "-Wextra", "-Werror", "-pedantic"};
    for (const std::string &f : consumer_flags())
        args.push_back(f);
    args.push_back(std::string(CONSUMER_SOURCE_DIR) + "/consumer.c");
    args.push_back("-o");
    args.push_back(exe);
    for (const std::string &f : split_words(cflags_libs.out))
        args.push_back(f);
    args.push_back("-Wl,-rpath," + lib);
    RunResult cc = run_program(C_COMPILER, args);
    ASSERT_EQ(cc.status, 0) << describe(cc);

    RunResult r = run_consumer(exe);
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(r.out, expected_consumer_output(tmp.path));
    EXPECT_EQ(r.err, "");
}

// Builds the Debian package from the build folder (slow: a few seconds).
TEST(DebianPackage, HoldsTheInstalledTreeUnderUsr)
{
    if (std::string(DPKG_DEB_EXE).empty())
        GTEST_SKIP() << "dpkg-deb is not installed; no Debian package can be built";
    TempDir out;
    RunResult pack = run_program(CPACK_EXE, {"-G", "DEB", "--config",
                                             std::string(BUILD_DIR) + "/CPackConfig.cmake",
                                             "-B", out.path});
    ASSERT_EQ(pack.status, 0) << describe(pack);
    // The one .deb in the output folder.
    std::string found;
    if (DIR *d = opendir(out.path.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".deb") == 0)
                found = out.file(name);
        }
        closedir(d);
    }
    ASSERT_FALSE(found.empty()) << "no .deb in " << out.path << "\n" << describe(pack);

    RunResult fields = run_program(DPKG_DEB_EXE, {"--field", found, "Package", "Version"});
    ASSERT_EQ(fields.status, 0) << describe(fields);
    EXPECT_EQ(fields.out, "Package: quorvane\nVersion: 1.0.0\n");

    RunResult list = run_program(DPKG_DEB_EXE, {"--contents", found});
    ASSERT_EQ(list.status, 0) << describe(list);
    for (const char *rel : kInstalledFiles)
        EXPECT_TRUE(lists_entry(list.out, std::string("./usr/") + rel))
            << rel << " is not in the package:\n" << list.out;
    // Build helpers stay out of the package.
    EXPECT_EQ(list.out.find("make_las"), std::string::npos) << list.out;

    // Unpacked anywhere, the pkg-config file still points at its own tree.
    if (std::string(PKG_CONFIG_EXE).empty())
        return;
    std::string root = out.file("root");
    RunResult x = run_program(DPKG_DEB_EXE, {"--extract", found, root});
    ASSERT_EQ(x.status, 0) << describe(x);
    setenv("PKG_CONFIG_PATH", (root + "/usr/lib/pkgconfig").c_str(), 1);
    RunResult libdir = run_program(PKG_CONFIG_EXE, {"--variable=libdir", "Kelvory_LiDAR"});
    ASSERT_EQ(libdir.status, 0) << describe(libdir);
    EXPECT_TRUE(file_exists(trimmed(libdir.out) + "/libKelvory_LiDAR.so.1")) << libdir.out;
}

TEST(ManualPage, RendersWithoutWarnings)
{
    if (std::string(GROFF_EXE).empty())
        GTEST_SKIP() << "groff is not installed; the manual page cannot be checked";
    RunResult r = run_program(GROFF_EXE, {"-man", "-ww", "-z", MAN_PAGE});
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(r.err, "");
}

// The page names every attribute as the tool's request summary does.
TEST(ManualPage, NamesEveryAttributeAsTheToolPrintsIt)
{
    std::vector<unsigned char> bytes = read_file(MAN_PAGE);
    std::string page(bytes.begin(), bytes.end());
    TempDir tmp;
    for (int id = 1; id <= 13; id++) {
        RunResult r = run_quorvane({tmp.file("none.las"), tmp.file("out.las"),
                                    std::to_string(id), "0", "0"});
        size_t at = r.out.find("Attribute = ");
        ASSERT_NE(at, std::string::npos) << describe(r);
        size_t end = r.out.find('\n', at);
        std::string name = r.out.substr(at + 12, end - at - 12);
        EXPECT_NE(page.find("(" + name + ")"), std::string::npos)
            << "attribute " << id << " (" << name << ") is not in the manual page";
    }
}

}  // namespace
