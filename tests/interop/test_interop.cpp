// Real LAS files written by other software, from every corpus folder: each is
// classified as its manifest says, every accepted file filters to exactly
// what an independent reading of its records gives, and every refused file is
// refused without an output.
#include "filter_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

typedef std::vector<unsigned char> Bytes;

class RealFiles : public ::testing::Test {
protected:
    std::vector<CorpusFile> corpus = corpus_files();
    TempDir dir;
    std::string out = dir.file("out.las");

    void SetUp() override
    {
        if (corpus.empty())
            GTEST_SKIP() << "no corpus folder of real LAS files (../shared/data/las, "
                            "../shared/data/las-more) is present; skipping";
    }

    // Filters `in`, whose bytes are `input`, and compares the status, the
    // printed count and the written bytes with the independent reading.
    void expect_filter(const std::string &in, const Bytes &input, int attr, const std::string &min,
                       const std::string &max)
    {
        SCOPED_TRACE(in + " attribute " + std::to_string(attr) + " [" + min + ", " + max + "]");
        expect_run_as_read(run_quorvane({in, out, std::to_string(attr), min, max}),
                           expected_filter(input, attr, atof(min.c_str()), atof(max.c_str())), out);
        remove(out.c_str());
    }

    // Filters between the quantiles `q1` and `q2` of attribute `attr` over
    // the file's whole records, in command-line units, typed with six decimals.
    void expect_filter_between_quantiles(const std::string &in, const Bytes &input, int attr,
                                         double q1, double q2)
    {
        LAS12Header h = header_of(input);
        const size_t reclen = las_format_record_length(h.PointDataFormatID);
        std::vector<double> v;
        for (size_t at = h.OffsetToData; at + reclen <= input.size(); at += reclen) {
            double value = attribute_value(decode_point(&input[at], h.PointDataFormatID), attr);
            if (attr == 3)
                value = value * h.ZScaleFactor + h.ZOffset;
            if (!std::isnan(value))
                v.push_back(value);
        }
        if (v.empty())
            return;
        std::sort(v.begin(), v.end());
        char lo[64], hi[64];
        snprintf(lo, sizeof lo, "%.6f", v[(size_t)(q1 * (v.size() - 1))]);
        snprintf(hi, sizeof hi, "%.6f", v[(size_t)(q2 * (v.size() - 1))]);
        expect_filter(in, input, attr, lo, hi);
    }
};

TEST_F(RealFiles, every_file_is_classified_as_its_manifest_says)
{
    for (const CorpusFile &f : corpus)
        EXPECT_EQ(run_request("check_las", {f.path}).result, f.kind) << f.path;
}

TEST_F(RealFiles, every_accepted_file_filters_as_its_records_say)
{
    for (const CorpusFile &f : corpus) {
        if (f.kind < 0)
            continue;
        const Bytes input = read_file(f.path);
        expect_filter(f.path, input, 9, "2", "2");
        expect_filter(f.path, input, 4, "0", "65535");
        expect_filter_between_quantiles(f.path, input, 3, 0.25, 0.75);
        if (las_has_gps_time(f.kind))
            expect_filter_between_quantiles(f.path, input, 13, 0.0, 0.5);
    }
}

TEST_F(RealFiles, every_refused_file_leaves_no_output)
{
    for (const CorpusFile &f : corpus) {
        if (f.kind >= 0)
            continue;
        RunResult r = run_quorvane({f.path, out, "9", "2", "2"});
        EXPECT_EQ(r.status, 255) << f.path;
        EXPECT_FALSE(file_exists(out)) << f.path;
    }
}

}  // namespace
