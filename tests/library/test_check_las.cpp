// Input validation: the file probe, the extension check, the numbered
// messages and the classification of LAS files, each message byte for byte.
#include "las_writer.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

typedef std::vector<unsigned char> Bytes;

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
    const std::pair<int, const char *> cases[] = {
        {1, "\nFile t.las does NOT exist\n"}, {2, "\nFile t.las already exists\n"},
        {3, "\nSame file name (t.las) has been specified twice\n"}, {0, ""}, {4, ""}, {-1, ""}};
    for (const auto &[number, message] : cases)
        EXPECT_EQ(run_request("error_msg", {std::to_string(number), "t.las"}).out, message) << number;
}

// The header block of a LAS 1.`minor` file of point format `format` with
// records of `length` bytes.
Bytes header(uint8_t minor, uint8_t format, uint16_t length)
{
    LasOptions opts;
    opts.VersionMinor = minor;
    opts.PointDataFormatID = format;
    opts.PointDataRecordLength = length;
    return las_image(opts, {});
}
Bytes cut(Bytes bytes, size_t size) { bytes.resize(size); return bytes; }
Bytes with_byte(Bytes bytes, size_t at, unsigned char value) { bytes[at] = value; return bytes; }

const Bytes kValid = header(2, 1, 28);  // LAS 1.2, format 1: kind 6

// A file check_las refuses: the refusal prints `message`, in which "@"
// stands for the file's path.
struct Refusal {
    const char *name;
    std::optional<Bytes> bytes;  // none: no such file
    const char *message;
    const char *file = "f.las";  // its name in a fresh folder
};
void PrintTo(const Refusal &r, std::ostream *os) { *os << r.name; }

const char *const kNotLas = "\n@ is not a valid .las file\n\n";
const Refusal kRefusals[] = {
    {"missing_file", std::nullopt, "Unable to open file @ in file_access()\n\nFile @ does NOT exist\n"},
    {"upper_case_extension", kValid, "\nFile extension of @ is not .las\n", "f.LAS"},
    {"no_dot_before_las", kValid, "\nExtension of file @ should be preceeded by a dot (.)\n", "flas1"},
    {"wrong_signature", with_byte(kValid, 3, 'G'), kNotLas},
    {"three_bytes", Bytes{'L', 'A', 'S'}, kNotLas},
    {"empty", Bytes{}, kNotLas},
    // Cut just after the signature and just before each field the check
    // reads: the major and minor version, the format and each byte of the
    // record length.
    {"signature_only", cut(kValid, 4), kNotLas},
    {"cut_before_major_version", cut(kValid, 24), kNotLas},
    {"cut_before_minor_version", cut(kValid, 25), kNotLas},
    {"cut_before_format", cut(kValid, 104), kNotLas},
    {"cut_before_record_length", cut(kValid, 105), kNotLas},
    {"cut_inside_record_length", cut(kValid, 106), kNotLas},
    {"version_2", with_byte(kValid, 24, 2), "\nCannot handle las files of version 2.x\n"},
    // A bad version hides a bad format.
    {"version_1_3_and_format_9", with_byte(header(3, 1, 28), 104, 9),
     "\nCannot handle las files of version 1.3\n"},
    {"format_4", header(2, 4, 20), "\nPointDataFormatID in @ is 4. Only 0, 1, 2, or 3 is accepted\n"},
    {"format_1_length_34", header(2, 1, 34),
     "\nData format of @ (1) is incompatible with Length of Data Record (34)\n"},
    {"format_0_length_65535", header(0, 0, 65535),
     "\nData format of @ (0) is incompatible with Length of Data Record (65535)\n"},
};

class CheckLas : public ::testing::TestWithParam<Refusal> {
protected:
    TempDir dir;
};

TEST_F(CheckLas, classifies_every_handled_version_and_format)
{
    struct Case { uint8_t minor, format; uint16_t length; int kind; };
    const Case cases[] = {{0, 0, 20, 1}, {0, 1, 28, 2}, {1, 0, 20, 3}, {1, 1, 28, 4},
                          {2, 0, 20, 5}, {2, 1, 28, 6}, {2, 2, 26, 7}, {2, 3, 34, 8},
                          {0, 2, 26, 0}, {1, 3, 99, 0}, {1, 2, 0, 0}};
    const std::string path = dir.file("f.las");
    for (const Case &c : cases) {
        ASSERT_TRUE(write_file(path, header(c.minor, c.format, c.length)));
        RunResult p = run_request("check_las", {path});
        EXPECT_EQ(p.result, c.kind) << "1." << int(c.minor) << " format " << int(c.format);
        EXPECT_EQ(p.out, "");
    }
    // Cut just after the record length: all the check reads is there.
    ASSERT_TRUE(write_file(path, cut(kValid, 107)));
    EXPECT_EQ(run_request("check_las", {path}).result, 6);
}

// The library's verdict and message, then the tool's refusal of the same
// file with the same message, creating no output.
TEST_P(CheckLas, refuses_with_one_message_and_the_tool_writes_no_output)
{
    const std::string path = dir.file(GetParam().file), out = dir.file("out.las");
    if (GetParam().bytes) {
        ASSERT_TRUE(write_file(path, *GetParam().bytes));
    }
    std::string message = GetParam().message;
    for (size_t at = message.find('@'); at != std::string::npos; at = message.find('@', at + path.size()))
        message.replace(at, 1, path);
    RunResult p = run_request("check_las", {path});
    EXPECT_EQ(p.result, -1);
    EXPECT_EQ(p.out, message);
    RunResult r = run_quorvane({path, out, "9", "2", "2"});
    EXPECT_EQ(r.out, std::string(kBanner) + summary_text(path, out, "Class", "2", "2") + message);
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(file_exists(out));
}
INSTANTIATE_TEST_SUITE_P(Files, CheckLas, ::testing::ValuesIn(kRefusals),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
