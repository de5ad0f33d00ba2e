// The command line as a user meets it: the banner, the argument checks in
// their order, the attribute menu and the request summary, byte for byte.
#include "run_tool.h"

#include <gtest/gtest.h>

#include "cli/request.h"

namespace {

bool round_trips(const char *s)
{
    double value;
    return numeric_round_trip_ok(s, &value);
}

const char *const kMenu =
    " 1\tX\n 2\tY\n 3\tZ\n 4\tIntensity\n 5\tReturn Number\n 6\tNumber of Returns\n"
    " 7\tScan Direction Flag\n 8\tEdge of Flight Line\n 9\tClassification\n"
    "10\tScan Angle Rank\n11\tUser Data         or   File Marker\n"
    "12\tPoint Source ID   or   User Bit Field\n13\tGPS Time\n\n";

// The arguments after the two file names, for a request that never reaches
// a file (the input does not exist).
RunResult run_bounds(const std::string &attr, const std::string &min, const std::string &max)
{
    return run_quorvane({"in.las", "out.las", attr, min, max});
}

TEST(CommandLine, wrong_argument_count_prints_message_before_banner)
{
    const std::string expected = std::string("\nWrong number of arguments\n") + kBanner + kUsage;
    for (auto args : {std::vector<std::string>{}, {"a", "b", "1", "2"}, {"a", "b", "1", "2", "3", "4"}}) {
        RunResult r = run_quorvane(args);
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 255);
    }
}

TEST(CommandLine, refuses_attribute_texts_other_than_exact_numbers)
{
    const std::string expected = std::string(kBanner) + "\nWrong Attribute choice\n\n" + kMenu + kUsage;
    for (const char *attr : {"0", "14", "01", "1.0", " 1", "1 ", "", "X"}) {
        RunResult r = run_bounds(attr, "1", "2");
        EXPECT_EQ(r.out, expected) << "attribute '" << attr << "'";
        EXPECT_EQ(r.status, 255);
    }
}

TEST(CommandLine, refuses_bad_minimum_then_bad_maximum)
{
    RunResult r = run_bounds("9", "abc", "xyz");
    EXPECT_EQ(r.out, std::string(kBanner) + "\nError in specified minimum Attribute value\n\n" + kUsage);
    EXPECT_EQ(r.status, 255);
    r = run_bounds("9", "1", "xyz");
    EXPECT_EQ(r.out, std::string(kBanner) + "\nError in specified maximum Attribute value\n\n" + kUsage);
    EXPECT_EQ(r.status, 255);
}

TEST(CommandLine, refuses_minimum_above_maximum_but_accepts_equal_bounds)
{
    RunResult r = run_bounds("9", "10", "9.5");
    EXPECT_EQ(r.out, std::string(kBanner) +
                         "\nAttribute maximum should not be smaller than Attribute minimum\n\n" + kUsage);
    EXPECT_EQ(r.status, 255);
    r = run_bounds("9", "10", "10");
    EXPECT_EQ(r.out.substr(0, r.out.find("Unable")),
              std::string(kBanner) + summary_text("in.las", "out.las", "Class", "10", "10"));
}

TEST(CommandLine, summary_names_the_attribute_and_prints_bounds_without_decimals)
{
    struct Case { const char *attr, *name, *min, *max, *shown_min, *shown_max; };
    const Case cases[] = {{"1", "X", "0.4", "2.6", "0", "3"},
                          {"9", "Class", "2", "2", "2", "2"},
                          {"11", "User Data / File Marker", "-3.5", "7", "-4", "7"},
                          {"12", "Point Source ID / User Bit Field", "0", "65535", "0", "65535"},
                          {"13", "GPS Time", "", "5.", "0", "5"}};
    for (const Case &c : cases) {
        RunResult r = run_bounds(c.attr, c.min, c.max);
        EXPECT_EQ(r.out, std::string(kBanner) +
                             summary_text("in.las", "out.las", c.name, c.shown_min, c.shown_max) +
                             "Unable to open file in.las in file_access()\n"
                             "\nFile in.las does NOT exist\n");
        EXPECT_EQ(r.status, 255);
    }
}

TEST(RoundTripCheck, accepts_plain_numbers_and_the_quirky_passes)
{
    for (const char *s : {"5", "-3.5", "5.", ".5", "+5", "0", "", "007", "01.5", "+00.5",
                          "1.23456789", "5 ", "5-", "123456789012345", "-0"})
        EXPECT_TRUE(round_trips(s)) << "'" << s << "'";
}

TEST(RoundTripCheck, refuses_non_decimal_and_over_precise_texts)
{
    for (const char *s : {"abc", "1e3", "12abc", "5x", "0x10", "inf", "nan", "00", "000",
                          "00.5", "-00.5", "1.0000001", "1e-400"})
        EXPECT_FALSE(round_trips(s)) << "'" << s << "'";
}

TEST(RoundTripCheck, refuses_values_beyond_a_double)
{
    EXPECT_FALSE(round_trips("1e400"));
    EXPECT_FALSE(round_trips("-1e400"));
    std::string huge(400, '9');
    EXPECT_FALSE(round_trips(huge.c_str()));
}

TEST(RoundTripCheck, examines_long_texts_and_long_renderings_whole)
{
    // 1 followed by 100 zeros: the nearest double renders with more than 80
    // characters and sorts above the argument.
    std::string big = "1" + std::string(100, '0');
    EXPECT_TRUE(round_trips(big.c_str()));
    EXPECT_TRUE(round_trips(("-" + big).c_str()));
    std::string long_text = "5." + std::string(5000, '0');
    EXPECT_FALSE(round_trips(long_text.c_str()));
    std::string padded = "5" + std::string(5000, ' ');
    EXPECT_TRUE(round_trips(padded.c_str()));
}

TEST(DecimalValue, reads_plain_decimal_prefixes_only)
{
    EXPECT_EQ(decimal_value("  -12.5e1xyz", nullptr), -125.0);
    EXPECT_EQ(decimal_value("0x10", nullptr), 0.0);
    EXPECT_EQ(decimal_value("inf", nullptr), 0.0);
    EXPECT_EQ(decimal_value("nan", nullptr), 0.0);
    EXPECT_EQ(decimal_value("1e", nullptr), 1.0);
    EXPECT_EQ(decimal_value("1e+", nullptr), 1.0);
    EXPECT_EQ(decimal_value(".", nullptr), 0.0);
    EXPECT_EQ(decimal_value("0.1", nullptr), 0.1);
    EXPECT_EQ(decimal_value("2.2250738585072011e-308", nullptr), 2.2250738585072011e-308);
}

}  // namespace
