// Every kernel level against the scalar one, in process: the marks and the
// copies of chunks of random records for every layout and attribute, under
// random bounds and bounds at every edge; and the header rescan's summary.
// The scalar level is the definition; the tool's own tests check it against
// an independent reading.
#include "file_compare.h"
#include "las_writer.h"
#include "run_tool.h"

#include "attributes/attributes.h"
#include "internal/block_areas.h"
#include "internal/kernel_levels.h"
#include "internal/record_batches.h"
#include "internal/status_routines.h"
#include "scan/bounds.h"
#include "scan/levels.h"
#include "scan/scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

#define LEVEL_OF_ROW(level, ...) KernelLevel::level,
const KernelLevel kLevels[] = {KERNEL_LEVELS(LEVEL_OF_ROW)};
#undef LEVEL_OF_ROW
// The names are a documented interface (README, QUORVANE_KERNEL).
const char *const kLevelNames[] = {"scalar", "portable", "sse2", "sse41", "avx"};
static_assert(sizeof kLevels / sizeof kLevels[0] == sizeof kLevelNames / sizeof kLevelNames[0],
              "every level has its documented name");

const char *name_of(KernelLevel level)
{
    return kLevelNames[(int)level];
}

// Values at the edges of an attribute's field, as stored values and as
// bounds: its extremes and their neighbours, 0 and 1, and for GPS times the
// values no comparison holds or every one does.
template <typename Record, int AttrID>
std::vector<double> edge_values()
{
    if constexpr (std::is_floating_point_v<Value<Record, AttrID>>) {
        const double inf = std::numeric_limits<double>::infinity();
        return {std::nan(""), -inf, inf, -0.0, 0.0, 1.5, -1e300, 1e300, 300000.25,
                std::numeric_limits<double>::denorm_min()};
    } else {
        const double least = kLeast<Record, AttrID>, most = kMost<Record, AttrID>;
        return {least, least + 1, most - 1, most, 0, 1, -1, (double)INT32_MIN, (double)INT32_MAX};
    }
}

// `count` records of random bytes; in about half, the attribute's field
// holds one of the edge values.
template <typename Record, int AttrID>
std::vector<unsigned char> random_records(std::mt19937 &rng, size_t count)
{
    using F = FieldOf<Record, AttrID>;
    std::vector<unsigned char> recs(count * sizeof(Record));
    for (unsigned char &b : recs)
        b = (unsigned char)rng();
    const std::vector<double> edges = edge_values<Record, AttrID>();
    for (size_t i = 0; i < count; i++) {
        if (rng() % 2)
            continue;
        unsigned char *field = &recs[i * sizeof(Record) + Attribute<AttrID>::template offset<Record>()];
        const double v = edges[rng() % edges.size()];
        if constexpr (Attribute<AttrID>::kBits != 0) {
            *field = v < 0 ? 0xff : 0x00;  // every bit set, or none
        } else if constexpr (std::is_floating_point_v<F>) {
            const F f = (F)v;
            memcpy(field, &f, sizeof f);
        } else if (v >= (double)std::numeric_limits<F>::min() && v <= (double)std::numeric_limits<F>::max()) {
            const F f = (F)v;
            memcpy(field, &f, sizeof f);
        }
    }
    return recs;
}

// Bounds to try: every pair of edge values, bounds beyond 32 bits, equal
// bounds, fractions, and random pairs of the records' own values.
template <typename Record, int AttrID>
std::vector<std::pair<double, double>> bounds_to_try(std::mt19937 &rng, const std::vector<unsigned char> &recs)
{
    std::vector<double> values = edge_values<Record, AttrID>();
    for (double v : {-3e9, 3e9, 2.5, -0.5, 65535.5, -128.5})
        values.push_back(v);
    std::vector<std::pair<double, double>> pairs;
    for (double lo : values)
        for (double hi : values)
            pairs.push_back({lo, hi});  // reversed pairs keep nothing
    const size_t count = recs.size() / sizeof(Record);
    for (int k = 0; k < 40; k++) {
        const double a = (double)extract<Record, AttrID>(&recs[(rng() % count) * sizeof(Record)]);
        const double b = (double)extract<Record, AttrID>(&recs[(rng() % count) * sizeof(Record)]);
        pairs.push_back({std::min(a, b), std::max(a, b)});
        pairs.push_back({a, a});
    }
    return pairs;
}

// Chunk lengths that are not multiples of 8, 64 or 512, and those that are.
const size_t kChunkLengths[] = {1, 7, 8, 9, 63, 64, 65, 130, 511, 512};
constexpr size_t kMaxChunk = 512;

struct Marked {
    uint64_t masks[kMaxChunk / 64];
    bool all;
};

template <typename Record, int AttrID>
Marked mark(KernelLevel level, const unsigned char *chunk, size_t n, const Bounds<Record, AttrID> &b)
{
    Marked m;
    memset(m.masks, 0xA5, sizeof m.masks);  // words beyond the chunk's are never read
    m.all = mark_chunk<Record, AttrID>(level, m.masks, chunk, n, b);
    return m;
}

// The copy of `level`, into an area prefilled with a pattern; returns the
// bytes copied.
template <typename Record>
std::vector<unsigned char> copy(KernelLevel level, const unsigned char *chunk, size_t n, const uint64_t *masks)
{
    std::vector<unsigned char> to(kMaxChunk * sizeof(Record) + kCopyOverrun, 0x5A);
    unsigned char *end = copy_chunk<sizeof(Record)>(level, to.data(), chunk, n, masks);
    to.resize((size_t)(end - to.data()));
    return to;
}

template <typename Record, int AttrID>
void compare_levels(KernelLevel level, const char *layout, std::mt19937 &rng)
{
    SCOPED_TRACE(std::string(layout) + ", attribute " + std::to_string(AttrID));
    const std::vector<unsigned char> recs = random_records<Record, AttrID>(rng, 3 * kMaxChunk);
    for (const auto &[lo, hi] : bounds_to_try<Record, AttrID>(rng, recs)) {
        const Bounds<Record, AttrID> b = bounds_of<Record, AttrID>(lo, hi);
        for (size_t n : kChunkLengths) {
            const unsigned char *chunk = &recs[(rng() % (2 * kMaxChunk)) * sizeof(Record)];
            const Marked want = mark<Record, AttrID>(KernelLevel::scalar, chunk, n, b);
            const std::vector<unsigned char> copied = copy<Record>(KernelLevel::scalar, chunk, n, want.masks);
            const Marked got = mark<Record, AttrID>(level, chunk, n, b);
            bool same = got.all == want.all;
            for (size_t w = 0; w * 64 < n; w++)
                same = same && got.masks[w] == want.masks[w];
            ASSERT_TRUE(same) << name_of(level) << " marks otherwise: [" << lo << ", " << hi << "], " << n
                              << " records";
            ASSERT_TRUE(copy<Record>(level, chunk, n, want.masks) == copied)
                << name_of(level) << " copies otherwise, " << n << " records";
        }
    }
}

template <typename Record>
void compare_levels_for_layout(KernelLevel level, const char *layout, std::mt19937 &rng)
{
#define COMPARE_ATTRIBUTE(id, ...)                      \
    if constexpr (kCarries<Record, id>)                 \
        compare_levels<Record, id>(level, layout, rng);
    QUORVANE_ATTRIBUTES(COMPARE_ATTRIBUTE)
#undef COMPARE_ATTRIBUTE
}

// Each level but the definition, against it; a level this processor or build
// lacks is a skip that says so.
class EachLevel : public ::testing::TestWithParam<KernelLevel> {
protected:
    void SetUp() override
    {
        if (!kernel_level_available(GetParam()))
            GTEST_SKIP() << "this processor or build lacks the " << name_of(GetParam()) << " level";
    }
};

std::string level_test_name(const ::testing::TestParamInfo<KernelLevel> &info)
{
    return name_of(info.param);
}

INSTANTIATE_TEST_SUITE_P(KernelLevels, EachLevel, ::testing::ValuesIn(std::begin(kLevels) + 1, std::end(kLevels)),
                         level_test_name);

TEST_P(EachLevel, marks_and_copies_as_the_scalar_one)
{
    std::mt19937 rng(20261208);
    const KernelLevel level = GetParam();
#define COMPARE_LAYOUT(format, Record, gps) compare_levels_for_layout<Record>(level, #Record, rng);
    KELVORY_LAS_LAYOUTS(COMPARE_LAYOUT)
#undef COMPARE_LAYOUT
}

// Random records, more than a batch and not a whole number of the summary's
// runs, with the coordinate extremes and every return number among them.
std::vector<unsigned char> random_file(uint8_t format, size_t count, std::mt19937 &rng)
{
    std::vector<LasPoint> points(count);
    for (size_t i = 0; i < count; i++) {
        LasPoint &p = points[i];
        p.X = (int32_t)rng();
        p.Y = (int32_t)(rng() % 2001) - 1000;
        p.Z = i % 5 == 0 ? (int32_t)rng() : (int32_t)(rng() % 7);
        p.bitfield = (uint8_t)rng();
    }
    points[count / 3].X = INT32_MIN;
    points[count / 2].Y = INT32_MAX;
    LasOptions opts;
    opts.PointDataFormatID = format;
    opts.trailing.assign(5, 0xCD);  // a partial record, which is not counted
    return las_image(opts, points);
}

TEST_P(EachLevel, summarizes_the_header_as_the_scalar_one)
{
    const KernelLevel level = GetParam();
    TempDir dir;
    std::mt19937 rng(7);
    for (uint8_t format = 0; format < 4; format++)
        for (size_t count : {(size_t)1, (size_t)2, (size_t)255, (size_t)256, (size_t)509, kBatchRecords + 777}) {
            SCOPED_TRACE("format " + std::to_string(format) + ", " + std::to_string(count) + " records");
            const std::vector<unsigned char> file = random_file(format, count, rng);
            const std::string scalar = dir.file("scalar.las"), other = dir.file("other.las");
            ASSERT_TRUE(write_file(scalar, file));
            RunResult want = run_request("update_header_status", {scalar, "scalar"});
            ASSERT_TRUE(want.returned && want.result == 0) << want.out;
            ASSERT_TRUE(write_file(other, file));
            RunResult got = run_request("update_header_status", {other, name_of(level)});
            ASSERT_TRUE(got.returned && got.result == 0) << got.out;
            EXPECT_TRUE(same_las_bytes(read_file(other), read_file(scalar)));
        }
}

// The tool hands the header update its own area, which must be large enough
// for a batch of the file's records.
TEST(KernelLevels, header_update_refuses_an_area_too_small_before_opening_the_file)
{
    TempDir dir;
    std::mt19937 rng(3);
    const std::string path = dir.file("f.las");
    const std::vector<unsigned char> file = random_file(1, 10, rng);
    ASSERT_TRUE(write_file(path, file));
    const size_t needed = area_bytes(kBatchRecords * 28);
    RunResult small = run_request("update_header_in", {path, std::to_string(needed - 1)});
    EXPECT_EQ(small.out, "\nCannot allocate memory for storing a record of information from " + path + "\n");
    EXPECT_TRUE(small.returned && small.result == -1);
    EXPECT_TRUE(same_las_bytes(read_file(path), file));
    RunResult enough = run_request("update_header_in", {path, std::to_string(needed)});
    EXPECT_TRUE(enough.returned && enough.result == 0) << enough.out;
}

// The dispatch's answer for every file kind and attribute: GPS time is the
// one field two layouts lack, kind 0 has no records, and numbers outside the
// table name nothing; only the coordinates have an axis.
TEST(KernelLevels, every_layout_carries_every_attribute_but_gps_time_on_formats_0_and_2)
{
    for (LASType kind = 0; kind <= 8; kind++)
        for (int16_t attr = 0; attr <= 14; attr++) {
            const int format = las_kind_format(kind);
            const bool want = format >= 0 && attr >= 1 && attr <= 13 && (attr != 13 || format % 2 == 1);
            EXPECT_EQ(scan_loop_for(kind, attr) != nullptr, want) << "kind " << kind << ", attribute " << attr;
        }
    const char axes[] = {0, 'X', 'Y', 'Z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int16_t attr = 0; attr <= 14; attr++)
        EXPECT_EQ(attribute_axis(attr), axes[attr]) << "attribute " << attr;
}

TEST(KernelLevels, level_names_are_the_documented_ones)
{
    KernelLevel level;
    for (int i = 0; i < 5; i++) {
        ASSERT_TRUE(kernel_level_named(kLevelNames[i], &level)) << kLevelNames[i];
        EXPECT_EQ(level, kLevels[i]);
    }
    EXPECT_FALSE(kernel_level_named("SSE2", &level));
    EXPECT_FALSE(kernel_level_named("", &level));
    // The tool runs the best level it has, never the slow definition.
    EXPECT_TRUE(kernel_level_available(best_kernel_level()));
    EXPECT_NE(best_kernel_level(), KernelLevel::scalar);
}

}  // namespace
