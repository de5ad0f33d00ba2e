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
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string text;   // the bound exactly as typed
    bool refused;
    std::string value;  // the value used, as decimal text
    std::string shown;  // what the request summary prints
};

// The rows from the line starting "Text given" to the end of its example
// block; each row is a quoted text, then "refused" or the value and the
// summary. Escaped minus signs are read as plain ones.
std::vector<Row> manual_table()
{
    std::vector<unsigned char> bytes = read_file(MAN_PAGE);
    std::istringstream page(std::string(bytes.begin(), bytes.end()));
    std::vector<Row> rows;
    std::string line;
    bool in_table = false;
    while (std::getline(page, line)) {
        if (line.rfind("Text given", 0) == 0) {
            in_table = true;
            continue;
        }
        if (!in_table)
            continue;
        if (line.rfind(".EE", 0) == 0)
            break;
        for (size_t at; (at = line.find("\\-")) != std::string::npos;)
            line.erase(at, 1);
        size_t close = line.find('"', 1);
        if (line.empty() || line[0] != '"' || close == std::string::npos) {
            ADD_FAILURE() << "unreadable table row: " << line;
            continue;
        }
        Row row;
        row.text = line.substr(1, close - 1);
        std::istringstream rest(line.substr(close + 1));
        std::string first;
        rest >> first;
        row.refused = first == "refused";
        if (!row.refused) {
            row.value = first;
            rest >> row.shown;
        }
        rows.push_back(row);
    }
    return rows;
}

class ManualBounds : public ::testing::Test {
protected:
    std::vector<Row> rows = manual_table();

    void SetUp() override
    {
        size_t refused = 0;
        for (const Row &r : rows)
            refused += r.refused;
        ASSERT_GE(refused, 5u) << "the manual page's table of bounds was not found";
        ASSERT_GE(rows.size() - refused, 10u) << "the table has too few accepted texts";
    }
};

TEST_F(ManualBounds, refused_texts_are_refused_as_either_bound)
{
    TempDir tmp;
    std::string in = tmp.file("in.las");
    ASSERT_TRUE(write_file(in, las_image(LasOptions(), {LasPoint()})));
    for (const Row &r : rows) {
        if (!r.refused)
            continue;
        RunResult as_min = run_quorvane({in, tmp.file("out.las"), "13", r.text, r.text});
        EXPECT_EQ(as_min.status, 255) << '"' << r.text << '"';
        EXPECT_NE(as_min.out.find("\nError in specified minimum Attribute value\n"),
                  std::string::npos)
            << '"' << r.text << "\" as minimum:\n" << as_min.out;
        RunResult as_max = run_quorvane({in, tmp.file("out.las"), "13", "0", r.text});
        EXPECT_NE(as_max.out.find("\nError in specified maximum Attribute value\n"),
                  std::string::npos)
            << '"' << r.text << "\" as maximum:\n" << as_max.out;
        EXPECT_FALSE(file_exists(tmp.file("out.las")));
    }
}

// A file whose GPS times are every value of the table and the doubles on
// either side of each; min = max = the text keeps one record, whose time is
// the table's value to the last bit.
TEST_F(ManualBounds, accepted_texts_use_the_value_and_print_the_summary_given)
{
    std::set<double> times;
    for (const Row &r : rows) {
        if (r.refused)
            continue;
        double v = strtod(r.value.c_str(), nullptr);
        times.insert({std::nextafter(v, -INFINITY), v, std::nextafter(v, INFINITY)});
    }
    std::vector<LasPoint> points;
    for (double t : times) {
        LasPoint p;
        p.GPSTime = t;
        points.push_back(p);
    }
    TempDir tmp;
    std::string in = tmp.file("times.las"), out = tmp.file("out.las");
    ASSERT_TRUE(write_file(in, las_image(LasOptions(), points)));

    for (const Row &r : rows) {
        if (r.refused)
            continue;
        RunResult run = run_quorvane({in, out, "13", r.text, r.text});
        const std::string where = "\"" + r.text + "\":\n" + run.out;
        ASSERT_EQ(run.status, 0) << where;
        EXPECT_NE(run.out.find("Min: " + r.shown + "    Max: " + r.shown + "\n"),
                  std::string::npos)
            << where;
        EXPECT_NE(run.out.find("Output Records :         1\n"), std::string::npos) << where;
        std::vector<unsigned char> file = read_file(out);
        ASSERT_EQ(file.size(), 227u + 28u) << where;
        double kept, want = strtod(r.value.c_str(), nullptr);
        memcpy(&kept, &file[227 + 20], sizeof kept);
        EXPECT_EQ(memcmp(&kept, &want, sizeof kept), 0)
            << where << "kept the GPS time " << kept << ", not " << r.value;
    }
}

}  // namespace
