// Index-carrying quicksorts: the exact arrangement of keys and indices, the
// properties every result has, one arrangement for both families and any
// depth, and bounded nesting on an input that defeats a middle-element pivot.
#include "Kelvory_LiDAR.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

namespace {

typedef std::vector<int32_t> Ints;
typedef std::vector<double> Doubles;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

template <typename Key>
struct Sorted {
    std::vector<Key> keys;
    Ints ind;
    bool operator==(const Sorted &o) const  // keys compared bit for bit
    {
        return ind == o.ind && keys.size() == o.keys.size() &&
               (keys.empty() || memcmp(keys.data(), o.keys.data(), keys.size() * sizeof(Key)) == 0);
    }
};

Ints identity(size_t n)
{
    Ints ind(n);
    std::iota(ind.begin(), ind.end(), 0);
    return ind;
}

template <typename Key> using CountSort = void (*)(Key *, int32_t, int32_t *);
template <typename Key> using RangeSort = void (*)(Key *, int32_t, int32_t, int32_t *, int32_t);

// Sorts a copy of `keys` (indices starting 0..n-1) with the plain family and
// returns the arrangement, which the depth-counting family must leave too:
// on the whole count, and on the whole range at any depth.
template <typename Key>
Sorted<Key> sorted_by(CountSort<Key> plain, CountSort<Key> counting, RangeSort<Key> range,
                      const std::vector<Key> &keys)
{
    const Sorted<Key> unsorted{keys, identity(keys.size())};
    Sorted<Key> a = unsorted, b = unsorted;
    plain(a.keys.data(), (int32_t)keys.size(), a.ind.data());
    counting(b.keys.data(), (int32_t)keys.size(), b.ind.data());
    EXPECT_TRUE(a == b) << "the depth-counting family leaves another arrangement";
    for (int32_t deep : {INT32_MIN, -1, 0, 1, 15, INT32_MAX}) {
        b = unsorted;
        range(b.keys.data(), 0, (int32_t)keys.size() - 1, b.ind.data(), deep);
        EXPECT_TRUE(a == b) << "the range at depth " << deep << " leaves another arrangement";
    }
    return a;
}
Sorted<int32_t> sorted(const Ints &k) { return sorted_by(l_quicksort, l_parallel_quicksort, l_parallel_qs, k); }
Sorted<double> sorted(const Doubles &k) { return sorted_by(d_quicksort, d_parallel_quicksort, d_parallel_qs, k); }

// Every sort on an empty count or range (tests/support/child.cpp): with
// descending keys and indices, where any exchange or write shows, and with
// arrays in a page that may not be read, where reading one ends the child.
TEST(Quicksort, empty_counts_and_ranges_read_no_element)
{
    RunResult kept = run_request("sort_nothing_on_sentinel_arrays");
    EXPECT_TRUE(kept.returned) << "status " << kept.status;
    EXPECT_EQ(kept.result, 0) << "an empty count or range moved an element";
    RunResult r = run_request("sort_nothing_in_an_unreadable_page");
    EXPECT_TRUE(r.returned) << "status " << r.status;
    EXPECT_EQ(r.result, 0);
}

TEST(Quicksort, small_inputs_end_in_the_defined_arrangement_in_both_families)
{
    struct Case { Ints keys, sorted, ind; } const cases[] = {
        {{42}, {42}, {0}},
        {{3, 1, 2}, {1, 2, 3}, {1, 2, 0}},
        {{5, 5, 5}, {5, 5, 5}, {2, 1, 0}},
        {{2, 2, 1, 1}, {1, 1, 2, 2}, {2, 3, 0, 1}},
        {{-3, 10, -3, 0}, {-3, -3, 0, 10}, {2, 0, 3, 1}},
        {{4, 3, 2, 1}, {1, 2, 3, 4}, {3, 2, 1, 0}},
        {{INT32_MAX, INT32_MIN, 0}, {INT32_MIN, 0, INT32_MAX}, {1, 2, 0}},
        {{6, 4, 8, 4, 6, 4}, {4, 4, 4, 6, 6, 8}, {5, 3, 1, 4, 0, 2}},  // pins the pivot
        {{6, 1, 7, 4, 8, 7, 6, 1}, {1, 1, 4, 6, 6, 7, 7, 8}, {1, 7, 3, 6, 0, 5, 2, 4}},
    };
    for (const Case &c : cases) {
        EXPECT_TRUE(sorted(c.keys) == (Sorted<int32_t>{c.sorted, c.ind}));
        Sorted<double> d = sorted(Doubles(c.keys.begin(), c.keys.end()));
        EXPECT_TRUE(d == (Sorted<double>{Doubles(c.sorted.begin(), c.sorted.end()), c.ind}));
    }
    // NaN stops both scans like a key equal to the pivot.
    EXPECT_TRUE(sorted(Doubles{0.5, kNaN, -1.0}) == (Sorted<double>{{-1.0, kNaN, 0.5}, {2, 1, 0}}));
}

// Keys ascend (unless NaN is among them) and p_ind is a permutation naming
// where each sorted key came from.
template <typename Key>
void expect_valid(const std::vector<Key> &input, bool has_nan)
{
    Sorted<Key> out = sorted(input);
    Ints perm = out.ind;
    std::sort(perm.begin(), perm.end());
    ASSERT_EQ(perm, identity(input.size())) << "p_ind is not a permutation";
    for (size_t k = 0; k < out.keys.size(); k++) {
        ASSERT_EQ(memcmp(&out.keys[k], &input[out.ind[k]], sizeof(Key)), 0) << "key at " << k;
        ASSERT_TRUE(has_nan || k == 0 || out.keys[k - 1] <= out.keys[k]) << "order at " << k;
    }
}

TEST(Quicksort, random_inputs_sort_validly_and_identically_in_both_families)
{
    std::mt19937 gen(20240601);
    for (int round = 0; round < 400; round++) {
        int32_t spread = round % 3 ? 1000000 : 3;  // a small spread gives many equal keys
        std::uniform_int_distribution<int32_t> pick(-spread, spread);
        bool with_nan = round % 2 == 0;
        Ints ints(gen() % 600);
        Doubles doubles(ints.size());
        for (size_t k = 0; k < ints.size(); k++) {
            ints[k] = pick(gen);
            doubles[k] = with_nan && gen() % 10 == 0 ? kNaN : pick(gen) * 0.25;
        }
        ASSERT_NO_FATAL_FAILURE(expect_valid(ints, false));
        ASSERT_NO_FATAL_FAILURE(expect_valid(doubles, with_nan));
    }
}

// Every sort above also runs at each depth; here enough keys, and equal
// ones, for the depth to matter, the same arrangement with either key type.
TEST(Quicksort, any_depth_gives_the_same_arrangement)
{
    std::mt19937 gen(5);
    Ints input(5000);
    for (int32_t &k : input)
        k = (int32_t)(gen() % 101) - 50;
    EXPECT_EQ(sorted(Doubles(input.begin(), input.end())).ind, sorted(input).ind);
}

// Keys whose middle element is the maximum of every range the sort meets,
// sorted by both families and both key types on a thread with a 256 KiB
// stack, in a child (tests/support/child.cpp), so that an overflow shows as
// a failed status rather than ending the tests.
TEST(Quicksort, nesting_stays_bounded_on_a_middle_pivot_killer)
{
    RunResult r = run_request("sort_middle_pivot_killer_on_a_small_stack");
    EXPECT_TRUE(r.returned) << "status " << r.status;
    EXPECT_EQ(r.result, 0) << (r.result == 1 ? "a result is out of order" : "no thread");
}

}  // namespace
