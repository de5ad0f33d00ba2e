// The test support itself: the LAS writer's command refuses arguments that
// are not what it asks for, writing nothing, instead of looping on a wrapped
// count; the file comparison says where two LAS files part.
#include "file_compare.h"
#include "run_tool.h"

#include <gtest/gtest.h>

namespace {

TEST(MakeLas, refuses_counts_formats_versions_and_seeds_out_of_range)
{
    TempDir dir;
    const std::string out = dir.file("f.las");
    const std::vector<std::vector<std::string>> refused = {
        {out, "-1"}, {out, "5000000000"}, {out, "4294967296"}, {out, "abc"}, {out, ""},
        {out, "12x"}, {out, " 5"}, {out, "+5"}, {out, "5", "4"}, {out, "5", "1", "3"},
        {out, "5", "1", "2", "seed"}, {out, "5", "-1"}, {out}, {out, "1", "1", "2", "1", "x"}};
    for (const auto &args : refused) {
        RunResult r = run_program(MAKE_LAS_EXE, args);
        EXPECT_EQ(r.status, 2) << args[1 % args.size()];
        EXPECT_EQ(r.err, "Usage: make_las <output.las> <points 0-4294967295> [format 0-3] [minor 0-2] [seed]\n");
        EXPECT_FALSE(file_exists(out));
    }
    RunResult r = run_program(MAKE_LAS_EXE, {out, "0", "3", "2", "18446744073709551615"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(out).size(), 227u + 54 + 9);  // header, one projection record, no points
}

// Three format 0 records (X 100, 200, 300; intensity 0x0101, 0x0202,
// 0x0303) after four bytes between the header block and the points.
std::vector<unsigned char> three_records()
{
    LasOptions opts;
    opts.PointDataFormatID = 0;
    opts.vlr_bytes = {0xaa, 0xbb, 0xcc, 0xdd};
    std::vector<LasPoint> points(3);
    for (int k = 0; k < 3; k++) {
        points[k].X = 100 * (k + 1);
        points[k].Intensity = 0x101 * (k + 1);
    }
    return las_image(opts, points);
}

TEST(SameLasBytes, names_the_record_or_header_field_where_the_files_part_and_dumps_around_it)
{
    const std::vector<unsigned char> expected = three_records();
    EXPECT_TRUE(same_las_bytes(expected, expected));

    std::vector<unsigned char> actual = expected;
    actual[231 + 20 + 12] = 0x77;  // record 1: Intensity, then the return bits
    actual[231 + 20 + 14] = 0x01;
    EXPECT_EQ(std::string(same_las_bytes(actual, expected).message()),
              "the LAS files differ\n"
              "sizes: actual 291 bytes, expected 291 bytes (3 records against 3 records of 20 bytes "
              "from offset 231)\n"
              "first difference at offset 263, in record 1 at byte 12 of it\n"
              "2 of the 291 bytes both files hold differ\n"
              "  record 0 at 231:\n"
              "    actual:   64 00 00 00 00 00 00 00 00 00 00 00 01 01 09 00 00 00 00 00\n"
              "    expected: 64 00 00 00 00 00 00 00 00 00 00 00 01 01 09 00 00 00 00 00\n"
              "  record 1 at 251, the first difference:\n"
              "    actual:   c8 00 00 00 00 00 00 00 00 00 00 00 77 02 01 00 00 00 00 00\n"
              "    expected: c8 00 00 00 00 00 00 00 00 00 00 00 02 02 09 00 00 00 00 00\n"
              "                                                  ^^    ^^\n"
              "  record 2 at 271:\n"
              "    actual:   2c 01 00 00 00 00 00 00 00 00 00 00 03 03 09 00 00 00 00 00\n"
              "    expected: 2c 01 00 00 00 00 00 00 00 00 00 00 03 03 09 00 00 00 00 00\n");

    actual = expected;
    actual[190] ^= 0x40;
    EXPECT_EQ(std::string(same_las_bytes(actual, expected).message()),
              "the LAS files differ\n"
              "sizes: actual 291 bytes, expected 291 bytes (3 records against 3 records of 20 bytes "
              "from offset 231)\n"
              "first difference at offset 190, in the header block: MinX (byte 3 of it)\n"
              "1 of the 291 bytes both files hold differ\n"
              "  bytes 160..175:\n"
              "    actual:   00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
              "    expected: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
              "  bytes 176..191, the first difference:\n"
              "    actual:   00 00 00 00 00 00 00 00 00 08 40 00 00 00 40 00\n"
              "    expected: 00 00 00 00 00 00 00 00 00 08 40 00 00 00 00 00\n"
              "                                                        ^^\n"
              "  bytes 192..207:\n"
              "    actual:   00 f0 3f 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
              "    expected: 00 f0 3f 00 00 00 00 00 00 00 00 00 00 00 00 00\n");

    actual = expected;
    actual[229] = 0;
    actual.resize(actual.size() - 20);
    EXPECT_EQ(std::string(same_las_bytes(actual, expected).message()),
              "the LAS files differ\n"
              "sizes: actual 271 bytes, expected 291 bytes (2 records against 3 records of 20 bytes "
              "from offset 231)\n"
              "first difference at offset 229, in the bytes between the header block and the "
              "point data\n"
              "1 of the 271 bytes both files hold differ\n"
              "  bytes 208..223:\n"
              "    actual:   00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
              "    expected: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
              "  bytes 224..230, the first difference:\n"
              "    actual:   00 00 00 aa bb 00 dd\n"
              "    expected: 00 00 00 aa bb cc dd\n"
              "                             ^^\n"
              "  record 0 at 231:\n"
              "    actual:   64 00 00 00 00 00 00 00 00 00 00 00 01 01 09 00 00 00 00 00\n"
              "    expected: 64 00 00 00 00 00 00 00 00 00 00 00 01 01 09 00 00 00 00 00\n");

    actual = expected;
    actual.resize(actual.size() - 20);
    EXPECT_EQ(std::string(same_las_bytes(actual, expected).message()),
              "the LAS files differ\n"
              "sizes: actual 271 bytes, expected 291 bytes (2 records against 3 records of 20 bytes "
              "from offset 231)\n"
              "first difference at offset 271, where the actual file ends, in record 2 at byte 0 "
              "of it\n"
              "0 of the 271 bytes both files hold differ\n"
              "  record 1 at 251:\n"
              "    actual:   c8 00 00 00 00 00 00 00 00 00 00 00 02 02 09 00 00 00 00 00\n"
              "    expected: c8 00 00 00 00 00 00 00 00 00 00 00 02 02 09 00 00 00 00 00\n"
              "  record 2 at 271, the first difference:\n"
              "    actual:   (past the end)\n"
              "    expected: 2c 01 00 00 00 00 00 00 00 00 00 00 03 03 09 00 00 00 00 00\n"
              "              ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^ ^^\n");
}

}  // namespace
