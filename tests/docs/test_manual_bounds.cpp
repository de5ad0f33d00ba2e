// The manual page's table of bound texts, read from the page itself and
// checked against the tool: each refused text is refused as either bound, and
// each accepted one prints the summary the table gives and selects exactly
// the GPS time equal to the value the table gives, not a neighbouring double.
#include "las_writer.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string text;   // the bound exactly as typed
    std::string value;  // the value used, as decimal text, or "refused"
    std::string shown;  // what the request summary prints
};

// The rows from the line starting "Text given" to the end of its example
// block: a quoted text, then "refused" or the value and the summary. Escaped
// minus signs are read as plain ones.
std::vector<Row> manual_table()
{
    const std::vector<unsigned char> bytes = read_file(MAN_PAGE);
    std::istringstream page(std::string(bytes.begin(), bytes.end()));
    static const std::regex row("\"([^\"]*)\"\\s+(\\S+)\\s*(\\S*).*");
    std::vector<Row> rows;
    std::string line;
    while (std::getline(page, line) && line.rfind("Text given", 0) != 0) {
    }
    while (std::getline(page, line) && line.rfind(".EE", 0) != 0) {
        line = std::regex_replace(line, std::regex("\\\\-"), "-");
        std::smatch m;
        if (std::regex_match(line, m, row))
            rows.push_back({m[1], m[2], m[3]});
        else
            ADD_FAILURE() << "unreadable table row: " << line;
    }
    return rows;
}

class ManualBounds : public ::testing::Test {
protected:
    std::vector<Row> refused, accepted;
    TempDir tmp;
    const std::string out = tmp.file("out.las");

    void SetUp() override
    {
        for (const Row &r : manual_table())
            (r.value == "refused" ? refused : accepted).push_back(r);
        ASSERT_GE(refused.size(), 5u) << "the manual page's table of bounds was not found";
        ASSERT_GE(accepted.size(), 10u) << "the table has too few accepted texts";
    }
};

TEST_F(ManualBounds, refused_texts_are_refused_as_either_bound)
{
    const std::string in = tmp.file("in.las");
    ASSERT_TRUE(write_file(in, las_image(LasOptions(), {LasPoint()})));
    for (const Row &r : refused) {
        const std::pair<std::vector<std::string>, const char *> runs[] = {
            {{in, out, "13", r.text, r.text}, "\nError in specified minimum Attribute value\n"},
            {{in, out, "13", "0", r.text}, "\nError in specified maximum Attribute value\n"}};
        for (const auto &[args, says] : runs) {
            RunResult run = run_quorvane(args);
            SCOPED_TRACE("bounds \"" + args[3] + "\" \"" + args[4] + "\":\n" + run.out);
            EXPECT_EQ(run.status, 255);
            EXPECT_NE(run.out.find(says), std::string::npos);
            EXPECT_FALSE(file_exists(out));
        }
    }
}

// A file whose GPS times are every value of the table and the doubles on
// either side of each; min = max = the text keeps one record, whose time is
// the table's value to the last bit.
TEST_F(ManualBounds, accepted_texts_use_the_value_and_print_the_summary_given)
{
    std::set<double> times;
    for (const Row &r : accepted) {
        const double v = strtod(r.value.c_str(), nullptr);
        times.insert({std::nextafter(v, -INFINITY), v, std::nextafter(v, INFINITY)});
    }
    std::vector<LasPoint> points(times.size());
    auto time = times.begin();
    for (LasPoint &p : points)
        p.GPSTime = *time++;
    const std::string in = tmp.file("times.las");
    ASSERT_TRUE(write_file(in, las_image(LasOptions(), points)));

    for (const Row &r : accepted) {
        RunResult run = run_quorvane({in, out, "13", r.text, r.text});
        SCOPED_TRACE("\"" + r.text + "\":\n" + run.out);
        ASSERT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("Min: " + r.shown + "    Max: " + r.shown + "\n"), std::string::npos);
        EXPECT_NE(run.out.find("Output Records :         1\n"), std::string::npos);
        const std::vector<unsigned char> file = read_file(out);
        ASSERT_EQ(file.size(), 227u + 28u);
        double kept, want = strtod(r.value.c_str(), nullptr);
        memcpy(&kept, &file[227 + 20], sizeof kept);
        EXPECT_EQ(memcmp(&kept, &want, sizeof kept), 0) << "kept the GPS time " << kept << ", not " << r.value;
    }
}

}  // namespace
