// Real LAS files written by other software: every accepted file filters to
// exactly what an independent reading of its records gives, and every
// refused file is refused for the right reason.
#include "reference.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dirent.h>

namespace {

std::vector<std::string> corpus_files(const std::string &dir, const std::string &prefix)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.rfind(prefix, 0) == 0)
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The real-world values of attribute `attr` over the file's whole records.
std::vector<double> values_of(const std::vector<unsigned char> &bytes, int attr)
{
    LAS12Header h;
    memcpy(&h, bytes.data(), sizeof h);
    std::vector<double> values;
    size_t reclen = las_format_length(h.PointDataFormatID);
    for (size_t at = h.OffsetToData; at + reclen <= bytes.size(); at += reclen) {
        double v = attribute_value(decode_point(&bytes[at], h.PointDataFormatID), attr);
        if (attr == 3)
            v = v * h.ZScaleFactor + h.ZOffset;
        values.push_back(v);
    }
    std::sort(values.begin(), values.end());
    return values;
}

class RealFiles : public ::testing::Test {
protected:
    std::string corpus = shared_las_dir();
    TempDir dir;

    void SetUp() override
    {
        if (corpus.empty())
            GTEST_SKIP() << "the shared LAS corpus (../shared/data/las) is absent; skipping";
    }

    // Filters `name` and compares printed lines and written bytes with the
    // independent reading.
    void expect_filter(const std::string &name, int attr, const char *min, const char *max)
    {
        std::string in = corpus + "/" + name, out = dir.file("out.las");
        Expected e = expected_filter(read_file(in), attr, atof(min), atof(max));
        RunResult r = run_quorvane({in, out, std::to_string(attr), min, max});
        SCOPED_TRACE(name + " attribute " + std::to_string(attr) + " [" + min + ", " + max + "]");
        EXPECT_EQ(printed_output_records(r.out), (long)e.kept);
        EXPECT_EQ(r.status, e.kept ? 0 : 255);
        if (e.kept == 0) {
            EXPECT_FALSE(file_exists(out));
            return;
        }
        EXPECT_TRUE(read_file(out) == e.file);
        remove(out.c_str());
    }
};

TEST_F(RealFiles, every_accepted_file_filters_as_its_records_say)
{
    std::vector<std::string> names = corpus_files(corpus, "v1");
    ASSERT_GE(names.size(), 30u);
    for (const std::string &name : names) {
        std::vector<unsigned char> bytes = read_file(corpus + "/" + name);
        expect_filter(name, 9, "2", "2");
        expect_filter(name, 4, "0", "65535");
        std::vector<double> z = values_of(bytes, 3);
        if (!z.empty()) {
            char lo[64], hi[64];
            snprintf(lo, sizeof lo, "%.6f", z[z.size() / 4]);
            snprintf(hi, sizeof hi, "%.6f", z[z.size() * 3 / 4]);
            expect_filter(name, 3, lo, hi);
        }
        if (bytes[104] == 1 || bytes[104] == 3) {
            std::vector<double> t = values_of(bytes, 13);
            t.erase(std::remove_if(t.begin(), t.end(), [](double v) { return std::isnan(v); }), t.end());
            if (!t.empty()) {
                char lo[64], hi[64];
                snprintf(lo, sizeof lo, "%.6f", std::floor(t[0]));
                snprintf(hi, sizeof hi, "%.6f", std::floor(t[t.size() / 2]));
                expect_filter(name, 13, lo, hi);
            }
        }
    }
}

TEST_F(RealFiles, extents_of_a_fine_scale_file_bound_its_points)
{
    // Every stored Z of this file exceeds 10,000,000 (scale 1e-7).
    std::string in = corpus + "/v12_fmt0_5380pt.las", out = dir.file("out.las");
    RunResult r = run_quorvane({in, out, "4", "0", "65535"});
    ASSERT_EQ(r.status, 0);
    LAS12Header h;
    memcpy(&h, read_file(out).data(), sizeof h);
    EXPECT_NEAR(+h.MinZ, 39.081, 1e-6);
    EXPECT_EQ(+h.NumberOfPointReturns, 5380u);
}

TEST_F(RealFiles, refused_files_are_refused_for_the_right_reason)
{
    struct Case { const char *name; std::string message; };
    const Case cases[] = {
        {"bad_v12_fmt1_reclen34.las", " (1) is incompatible with Length of Data Record (34)\n"},
        {"bad_v12_fmt3_reclen61.las", " (3) is incompatible with Length of Data Record (61)\n"},
        {"bad_v13_fmt1.las", "\nCannot handle las files of version 1.3\n"},
        {"bad_v14_fmt6.las", "\nCannot handle las files of version 1.4\n"},
        {"bad_v12_laszip.laz", " is not .las\n"},
        {"bad_v12_laszip_renamed.las", " is \xB3. Only 0, 1, 2, or 3 is accepted\n"},
    };
    for (const Case &c : cases) {
        std::string in = corpus + "/" + c.name, out = dir.file("out.las");
        RunResult r = run_quorvane({in, out, "9", "2", "2"});
        SCOPED_TRACE(c.name);
        EXPECT_EQ(r.status, 255);
        ASSERT_GE(r.out.size(), c.message.size());
        EXPECT_EQ(r.out.substr(r.out.size() - c.message.size()), c.message);
        EXPECT_FALSE(file_exists(out));
    }
}

}  // namespace
