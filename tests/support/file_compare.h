// Byte-for-byte comparison of whole files for the tests, with a failure
// message that says where the files part: the sizes, the first differing
// offset and what lies there (a header field, the bytes before the point
// data, or record k and the byte within it), and hex dumps of both files
// around it. Header-only, as the test harness library is also linked into
// programs without GoogleTest.
#ifndef FILE_COMPARE_H
#define FILE_COMPARE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace file_compare {

typedef std::vector<unsigned char> Bytes;

const size_t kHeaderBlock = 227;  // the LAS 1.2 header block
const size_t kWindow = 16;        // dump width where there are no records

// Where a file's parts lie: the header block, the bytes up to the point
// data, and records of `reclen` bytes from `data` on.
struct Layout {
    bool las = false;
    size_t data = 0;
    size_t reclen = 0;
};

inline Layout las_layout(const Bytes &image)
{
    Layout l;
    if (image.size() < 107)
        return l;
    l.las = true;
    l.data = image[96] | image[97] << 8 | image[98] << 16 | (size_t)image[99] << 24;
    l.reclen = image[105] | image[106] << 8;
    return l;
}

// The LAS 1.2 header field that holds byte `at` of the header block.
inline std::string header_field(size_t at)
{
    static const struct { size_t start; const char *name; } fields[] = {
        {0, "LASF"}, {4, "FileSourceID"}, {6, "GlobalEncoding"}, {8, "GUIDData1"},
        {12, "GUIDData2"}, {14, "GUIDData3"}, {16, "GUIDData4"}, {24, "VersionMajor"},
        {25, "VersionMinor"}, {26, "SystemIdentifier"}, {58, "GeneratingSoftware"},
        {90, "FileCreationDay"}, {92, "FileCreationYear"}, {94, "HeaderSize"},
        {96, "OffsetToData"}, {100, "NumberOfVariableLengthRecords"},
        {104, "PointDataFormatID"}, {105, "PointDataRecordLength"},
        {107, "NumberOfPointReturns"}, {111, "NumberOfPointsByReturn[0]"},
        {115, "NumberOfPointsByReturn[1]"}, {119, "NumberOfPointsByReturn[2]"},
        {123, "NumberOfPointsByReturn[3]"}, {127, "NumberOfPointsByReturn[4]"},
        {131, "XScaleFactor"}, {139, "YScaleFactor"}, {147, "ZScaleFactor"}, {155, "XOffset"},
        {163, "YOffset"}, {171, "ZOffset"}, {179, "MaxX"}, {187, "MinX"}, {195, "MaxY"},
        {203, "MinY"}, {211, "MaxZ"}, {219, "MinZ"}};
    size_t k = sizeof fields / sizeof fields[0];
    while (fields[k - 1].start > at)
        k--;
    return std::string(fields[k - 1].name) + " (byte " + std::to_string(at - fields[k - 1].start) +
           " of it)";
}

// The dump unit holding offset `at`: a record in the point data, otherwise
// an aligned window of kWindow bytes.
inline size_t unit_start(const Layout &l, size_t at)
{
    if (l.las && l.reclen > 0 && at >= l.data && at >= kHeaderBlock)
        return l.data + (at - l.data) / l.reclen * l.reclen;
    return at / kWindow * kWindow;
}

inline size_t unit_length(const Layout &l, size_t start)
{
    if (l.las && l.reclen > 0 && start >= l.data && start >= kHeaderBlock)
        return l.reclen;
    size_t end = start + kWindow;
    if (l.las && l.reclen > 0 && start < l.data && end > l.data && l.data >= kHeaderBlock)
        end = l.data;  // a window ends where the records begin
    return end - start;
}

// The unit's name; a window's last byte is at most `last`.
inline std::string describe_unit(const Layout &l, size_t start, size_t last)
{
    char text[96];
    if (l.las && l.reclen > 0 && start >= l.data && start >= kHeaderBlock)
        snprintf(text, sizeof text, "record %zu at %zu", (start - l.data) / l.reclen, start);
    else
        snprintf(text, sizeof text, "bytes %zu..%zu", start,
                 std::min(start + unit_length(l, start) - 1, last));
    return text;
}

inline std::string hex_line(const Bytes &b, size_t start, size_t length)
{
    std::string line;
    char byte[4];
    for (size_t k = start; k < start + length; k++) {
        if (k >= b.size())
            return line + (k == start ? " (past the end)" : " (end)");
        snprintf(byte, sizeof byte, " %02x", b[k]);
        line += byte;
    }
    return line;
}

// The unit before the one holding `at`, that one and the one after, in both
// files, with the differing bytes marked.
inline std::string dump_around(const Bytes &actual, const Bytes &expected, const Layout &l,
                               size_t at)
{
    std::string text;
    const size_t common = std::min(actual.size(), expected.size());
    const size_t longer = std::max(actual.size(), expected.size());
    size_t here = unit_start(l, at);
    std::vector<size_t> starts;
    if (here > 0)
        starts.push_back(unit_start(l, here - 1));
    starts.push_back(here);
    starts.push_back(here + unit_length(l, here));
    for (size_t start : starts) {
        if (start >= longer)
            break;
        size_t length = unit_length(l, start);
        std::string marks;
        for (size_t k = start; k < start + length && k < longer; k++)
            marks += k < common && actual[k] == expected[k] ? "   " : " ^^";
        text += "  " + describe_unit(l, start, longer - 1);
        text += start == here ? ", the first difference:\n" : ":\n";
        text += "    actual:  " + hex_line(actual, start, length) + "\n";
        text += "    expected:" + hex_line(expected, start, length) + "\n";
        if (marks.find('^') != std::string::npos)
            text += "             " + marks.substr(0, marks.find_last_of('^') + 1) + "\n";
    }
    return text;
}

// Empty when the two images are equal; otherwise where and how they differ.
// `las` reads the layout (point data offset and record length) from the
// expected image's header, or the actual one's when the expected is too
// short to hold it.
inline std::string describe_difference(const Bytes &actual, const Bytes &expected, bool las)
{
    if (actual == expected)
        return "";
    Layout l;
    if (las)
        l = expected.size() >= 107 ? las_layout(expected) : las_layout(actual);
    size_t common = std::min(actual.size(), expected.size()), at = 0, differing = 0;
    while (at < common && actual[at] == expected[at])
        at++;
    for (size_t k = at; k < common; k++)
        differing += actual[k] != expected[k];

    std::string text = "sizes: actual " + std::to_string(actual.size()) + " bytes, expected " +
                       std::to_string(expected.size()) + " bytes";
    if (l.las && l.reclen > 0 && l.data >= kHeaderBlock) {
        auto records = [&](size_t size) {
            if (size < l.data)
                return std::string("no records");
            size_t rest = (size - l.data) % l.reclen;
            return std::to_string((size - l.data) / l.reclen) + " records" +
                   (rest ? " and " + std::to_string(rest) + " bytes" : "");
        };
        text += " (" + records(actual.size()) + " against " + records(expected.size()) + " of " +
                std::to_string(l.reclen) + " bytes from offset " + std::to_string(l.data) + ")";
    }
    text += "\nfirst difference at offset " + std::to_string(at);
    if (at == common)
        text += actual.size() < expected.size() ? ", where the actual file ends"
                                                : ", where the expected file ends";
    if (l.las) {
        if (at < kHeaderBlock)
            text += ", in the header block: " + header_field(at);
        else if (at < l.data)
            text += ", in the bytes between the header block and the point data";
        else if (l.reclen > 0)
            text += ", in record " + std::to_string((at - l.data) / l.reclen) + " at byte " +
                    std::to_string((at - l.data) % l.reclen) + " of it";
    }
    text += "\n" + std::to_string(differing) + " of the " + std::to_string(common) +
            " bytes both files hold differ\n";
    return text + dump_around(actual, expected, l, at);
}

}  // namespace file_compare

// Succeeds when the two LAS file images are equal byte for byte.
inline ::testing::AssertionResult same_las_bytes(const std::vector<unsigned char> &actual,
                                                 const std::vector<unsigned char> &expected)
{
    std::string d = file_compare::describe_difference(actual, expected, true);
    if (d.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the LAS files differ\n" << d;
}

// The same for files of any kind, dumped in windows of 16 bytes.
inline ::testing::AssertionResult same_bytes(const std::vector<unsigned char> &actual,
                                             const std::vector<unsigned char> &expected)
{
    std::string d = file_compare::describe_difference(actual, expected, false);
    if (d.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the files differ\n" << d;
}

#endif
