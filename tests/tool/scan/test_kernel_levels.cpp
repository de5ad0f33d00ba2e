// The scan kernel at every kernel level against the scalar one, in process:
// the marks and the copies of chunks of random records for every layout and
// attribute, under random bounds and bounds at every edge; and the level
// table's names and the kernel's dispatch. The scalar level is the
// definition; the tool's own tests check it against an independent reading.
#include "levels.h"

#include "attributes/attributes.h"
#include "scan/bounds.h"
#include "scan/levels.h"
#include "scan/scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

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

INSTANTIATE_EACH_LEVEL(KernelLevels);

TEST_P(EachLevel, marks_and_copies_as_the_scalar_one)
{
    std::mt19937 rng(20261208);
    const KernelLevel level = GetParam();
#define COMPARE_LAYOUT(format, Record, gps) compare_levels_for_layout<Record>(level, #Record, rng);
    KELVORY_LAS_LAYOUTS(COMPARE_LAYOUT)
#undef COMPARE_LAYOUT
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
    for (size_t i = 0; i < std::size(kLevels); i++) {
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
