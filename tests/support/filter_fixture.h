// What the tests that run the tool as a user does share: every run works in
// one folder on the fixed names in.las and out.las, so that the expected
// texts can be written out as the user sees them; inputs, the request
// summary a run opens with and a completed run's ending; the kernel levels
// this processor and build have, for the test build.
#ifndef FILTER_FIXTURE_H
#define FILTER_FIXTURE_H

#include "file_compare.h"
#include "levels.h"
#include "reference.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <vector>

// The kernel levels this processor and build have, by name.
inline std::vector<const char *> available_levels()
{
    std::vector<const char *> names;
    for (KernelLevel level : kLevels)
        if (kernel_level_available(level))
            names.push_back(name_of(level));
    return names;
}
inline const std::vector<const char *> kAvailableLevels = available_levels();

inline std::vector<LasPoint> ramp(size_t n)
{
    std::vector<LasPoint> points;
    for (size_t i = 0; i < n; i++)
        points.push_back(synthetic_point(i, 7));
    return points;
}

// A run's status, printed kept count and output file against the
// independent reading `e` of its input.
inline void expect_run_as_read(const RunResult &r, const Expected &e, const std::string &out)
{
    EXPECT_EQ(printed_output_records(r.out), (long)e.kept);
    EXPECT_EQ(r.status, e.kept ? 0 : 255);
    if (e.kept == 0)
        EXPECT_FALSE(file_exists(out));
    else
        EXPECT_TRUE(same_las_bytes(read_file(out), e.file));
}

// `values.size()` records whose one field `set` writes holds each value in
// turn, the others left as a record starts.
template <typename T, typename Set>
std::vector<LasPoint> points_with(const std::vector<T> &values, Set set)
{
    std::vector<LasPoint> points(values.size());
    for (size_t i = 0; i < values.size(); i++)
        set(points[i], values[i]);
    return points;
}

// A header with a coordinate system record after it.
inline LasOptions with_projection()
{
    LasOptions opts;
    opts.vlr_bytes = make_vlr("LASF_Projection", 34735, "GeoKeyDirectoryTag", {1, 0, 1, 0, 0, 0, 0, 0});
    opts.vlr_count = 1;
    return opts;
}

// What a completed run prints after the request summary when it keeps class
// 2 of ramp(500).
inline const char *const kClassTwoOfRamp500 =
    "Input Records  :       500\n"
    "Output Records :       244\n"
    "% Retained     :        48.80\n\n"
    "... Updating Header ...                                                       \r"
    "\rHeader of file out.las has been updated    "
    "\nCompleted in ";

// The banner and request summary for in.las -> out.las, as printed.
inline std::string prologue(const std::string &name, const std::string &min, const std::string &max)
{
    return std::string(kBanner) + summary_text("in.las", "out.las", name, min, max);
}

// A completed run's output: `before` exactly, then the elapsed time.
inline void expect_completed(const RunResult &r, const std::string &before)
{
    EXPECT_EQ(r.out.substr(0, before.size()), before);
    EXPECT_TRUE(std::regex_match(r.out.substr(std::min(before.size(), r.out.size())),
                                 std::regex("[0-9]+\\.[0-9]{3} seconds\n")))
        << r.out;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

// Every run works in one folder on the fixed names in.las and out.las, so
// that the expected texts can be written out as the user sees them.
class Filter : public ::testing::Test {
protected:
    TempDir dir;
    std::string in = dir.file("in.las");
    std::string out = dir.file("out.las");

    void make_input(const LasOptions &opts, const std::vector<LasPoint> &points)
    {
        ASSERT_TRUE(write_file(in, las_image(opts, points)));
    }

    // The test build, at kernel level `level`.
    RunResult filter_at(const char *level, int attr, const std::string &min, const std::string &max)
    {
        set_env("QUORVANE_KERNEL", level);
        RunResult r = run_program(QUORVANE_SEAM_EXE, {in, out, std::to_string(attr), min, max});
        unset_env("QUORVANE_KERNEL");
        return r;
    }

    RunResult filter(int attr, const std::string &min, const std::string &max,
                     const std::function<void()> &prepare = {})
    {
        return run_quorvane_in(dir.path, {"in.las", "out.las", std::to_string(attr), min, max},
                               prepare);
    }

    // Runs the filter and checks the status, the kept count it prints and
    // the output's bytes against the independent reading of the input.
    Expected expect_filter_matches(int attr, const std::string &min, const std::string &max)
    {
        Expected e = expected_filter(read_file(in), attr, atof(min.c_str()), atof(max.c_str()));
        SCOPED_TRACE("attribute " + std::to_string(attr) + " [" + min + ", " + max + "]");
        expect_run_as_read(filter(attr, min, max), e, out);
        return e;
    }

    // Filters between the values two records hold, given in command-line
    // units (real-world coordinates) with `decimals` decimals.
    Expected expect_filter_between(int attr, const LasPoint &a, const LasPoint &b,
                                   const LasOptions &opts, int decimals)
    {
        double va = attribute_value(a, attr), vb = attribute_value(b, attr);
        if (attr <= 3) {
            va = va * opts.scale[attr - 1] + opts.offset[attr - 1];
            vb = vb * opts.scale[attr - 1] + opts.offset[attr - 1];
        }
        char lo[64], hi[64];
        snprintf(lo, sizeof lo, "%.*f", decimals, std::min(va, vb));
        snprintf(hi, sizeof hi, "%.*f", decimals, std::max(va, vb));
        return expect_filter_matches(attr, lo, hi);
    }
};

#endif
