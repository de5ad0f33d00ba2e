// Input validation: the file probe, the extension check, the numbered
// messages and the classification of LAS files, each message byte for byte.
#include "run_tool.h"
#include "las_writer.h"

#include <gtest/gtest.h>

namespace {

std::vector<unsigned char> header_bytes(uint8_t minor, uint8_t format, uint16_t length)
{
    LasOptions opts;
    opts.VersionMinor = minor;
    opts.PointDataFormatID = format;
    opts.PointDataRecordLength = length;
    return las_image(opts, {});
}

class CheckLas : public ::testing::Test {
protected:
    TempDir dir;
    std::string with_bytes(const std::vector<unsigned char> &bytes, const char *name = "f.las")
    {
        std::string path = dir.file(name);
        EXPECT_TRUE(write_file(path, bytes));
        return path;
    }
    // Checks the library's verdict and message, then that the tool refuses
    // the same file with the same message and creates no output.
    void expect_refused(const std::string &path, const std::string &message)
    {
        RunResult p = run_request("check_las", {path});
        EXPECT_EQ(p.result, -1) << path;
        EXPECT_EQ(p.out, message);
        std::string out = dir.file("out.las");
        RunResult r = run_quorvane({path, out, "9", "2", "2"});
        EXPECT_EQ(r.out, std::string(kBanner) + summary_text(path, out, "Class", "2", "2") + message);
        EXPECT_EQ(r.status, 255);
        EXPECT_FALSE(file_exists(out));
    }
    RunResult check(const std::string &path)
    {
        return run_request("check_las", {path});
    }
};

TEST(FileAccess, answers_whether_a_file_opens_for_reading)
{
    TempDir dir;
    write_file(dir.file("x"), {1});
    EXPECT_EQ(run_request("file_access", {dir.file("x")}).out, "");
    RunResult p = run_request("file_access", {dir.file("y")});
    EXPECT_EQ(p.result, -1);
    EXPECT_EQ(p.out, "Unable to open file " + dir.file("y") + " in file_access()\n");
}

TEST(FileExtension, accepts_exactly_a_dot_and_the_three_letters)
{
    EXPECT_EQ(check_file_extension("a.las", "las"), 0);
    EXPECT_EQ(check_file_extension("dir/points.las", "las"), 0);
    struct Case { const char *name, *ext, *message; };
    const Case refused[] = {
        {".las", "las", "\nFile name (.las) is too short\n"},
        {"", "las", "\nFile name () is too short\n"},
        {"pointslas1", "las", "\nExtension of file pointslas1 should be preceeded by a dot (.)\n"},
        {"points.LAS", "las", "\nFile extension of points.LAS is not .las\n"},
        {"points.laz", "las", "\nFile extension of points.laz is not .las\n"},
        {"points.las", "la", "\nFile extension of points.las is not .la\n"},
        {"points.las", "lass", "\nFile extension of points.las is not .lass\n"},
    };
    for (const Case &c : refused) {
        RunResult p = run_request("check_file_extension", {c.name, c.ext});
        EXPECT_EQ(p.result, -1) << c.name;
        EXPECT_EQ(p.out, c.message);
    }
}

TEST(ErrorMsg, prints_the_three_numbered_messages_and_nothing_else)
{
    auto say = [](int i) { return run_request("error_msg", {std::to_string(i), "t.las"}).out; };
    EXPECT_EQ(say(1), "\nFile t.las does NOT exist\n");
    EXPECT_EQ(say(2), "\nFile t.las already exists\n");
    EXPECT_EQ(say(3), "\nSame file name (t.las) has been specified twice\n");
    EXPECT_EQ(say(0), "");
    EXPECT_EQ(say(4), "");
    EXPECT_EQ(say(-1), "");
}

TEST_F(CheckLas, classifies_every_handled_version_and_format)
{
    struct Case { uint8_t minor, format; uint16_t length; int kind; };
    const Case cases[] = {{0, 0, 20, 1}, {0, 1, 28, 2}, {1, 0, 20, 3}, {1, 1, 28, 4},
                          {2, 0, 20, 5}, {2, 1, 28, 6}, {2, 2, 26, 7}, {2, 3, 34, 8},
                          {0, 2, 26, 0}, {1, 3, 99, 0}, {1, 2, 0, 0}};
    for (const Case &c : cases) {
        RunResult p = check(with_bytes(header_bytes(c.minor, c.format, c.length)));
        EXPECT_EQ(p.result, c.kind) << "1." << int(c.minor) << " format " << int(c.format);
        EXPECT_EQ(p.out, "");
    }
}

TEST_F(CheckLas, refuses_a_missing_file_with_two_messages)
{
    expect_refused(dir.file("none.las"), "Unable to open file " + dir.file("none.las") +
                                             " in file_access()\n\nFile " + dir.file("none.las") +
                                             " does NOT exist\n");
}

TEST_F(CheckLas, refuses_names_without_lower_case_las_extension)
{
    std::string path = with_bytes(header_bytes(2, 1, 28), "f.LAS");
    expect_refused(path, "\nFile extension of " + path + " is not .las\n");
    path = with_bytes(header_bytes(2, 1, 28), "flas1");
    expect_refused(path, "\nExtension of file " + path + " should be preceeded by a dot (.)\n");
}

TEST_F(CheckLas, refuses_a_wrong_signature_and_short_files)
{
    std::vector<unsigned char> bad = header_bytes(2, 1, 28);
    bad[3] = 'G';
    const std::vector<std::vector<unsigned char>> invalid = {
        bad,
        {'L', 'A', 'S'},
        {},
    };
    for (const auto &bytes : invalid) {
        std::string path = with_bytes(bytes);
        expect_refused(path, "\n" + path + " is not a valid .las file\n\n");
    }
}

TEST_F(CheckLas, never_decides_on_bytes_beyond_the_end_of_the_file)
{
    // Cut just before each field that the check reads: the major and minor
    // version, the format and each byte of the record length.
    std::vector<unsigned char> full = header_bytes(2, 1, 28);
    for (size_t size : {4u, 24u, 25u, 104u, 105u, 106u}) {
        std::string path = with_bytes(std::vector<unsigned char>(full.begin(), full.begin() + size));
        expect_refused(path, "\n" + path + " is not a valid .las file\n\n");
    }
    std::string path = with_bytes(std::vector<unsigned char>(full.begin(), full.begin() + 107));
    EXPECT_EQ(check(path).result, 6);
}

TEST_F(CheckLas, reports_versions_and_formats_it_cannot_handle)
{
    std::vector<unsigned char> major2 = header_bytes(2, 1, 28);
    major2[24] = 2;
    expect_refused(with_bytes(major2), "\nCannot handle las files of version 2.x\n");
    std::vector<unsigned char> v13 = header_bytes(3, 1, 28);
    v13[104] = 9;  // a bad version hides a bad format
    expect_refused(with_bytes(v13), "\nCannot handle las files of version 1.3\n");
    std::string path = with_bytes(header_bytes(2, 4, 20));
    expect_refused(path, "\nPointDataFormatID in " + path + " is 4. Only 0, 1, 2, or 3 is accepted\n");
}

TEST_F(CheckLas, refuses_a_record_length_that_does_not_fit_the_format)
{
    std::string path = with_bytes(header_bytes(2, 1, 34));
    expect_refused(path, "\nData format of " + path +
                             " (1) is incompatible with Length of Data Record (34)\n");
    path = with_bytes(header_bytes(0, 0, 65535));
    expect_refused(path, "\nData format of " + path +
                             " (0) is incompatible with Length of Data Record (65535)\n");
}

}  // namespace
