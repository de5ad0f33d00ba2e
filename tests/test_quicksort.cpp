// Index-carrying quicksorts: exact final arrangement of keys and indices,
// the properties every result must have, and bounded nesting on inputs that
// defeat a middle-element pivot.
#include "Kelvory_LiDAR.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <climits>
#include <cmath>
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
};

Ints identity(size_t n)
{
    Ints ind(n);
    std::iota(ind.begin(), ind.end(), 0);
    return ind;
}

// Sorts a copy of `keys` with a whole-array entry, indices starting 0..n-1.
template <typename Key>
Sorted<Key> sorted_by(void (*sort)(Key *, int32_t, int32_t *), std::vector<Key> keys)
{
    Ints ind = identity(keys.size());
    sort(keys.data(), (int32_t)keys.size(), ind.data());
    return {keys, ind};
}

// The sort written as plain recursion, left part first, exactly as the
// library's result must come out. Records how deep the recursion went.
template <typename Key>
void reference_qs(Key *p, int32_t left, int32_t right, int32_t *ind, int32_t depth,
                  int32_t &max_depth)
{
    if (right < left)
        return;
    max_depth = std::max(max_depth, depth);
    int32_t i = left, j = right;
    Key v = p[(left + right) / 2];
    while (i <= j) {
        while (p[i] < v && i < right)
            i++;
        while (p[j] > v && j > left)
            j--;
        if (i <= j) {
            std::swap(p[i], p[j]);
            std::swap(ind[i], ind[j]);
            i++;
            j--;
        }
    }
    if (left < j)
        reference_qs(p, left, j, ind, depth + 1, max_depth);
    if (i < right)
        reference_qs(p, i, right, ind, depth + 1, max_depth);
}

template <typename Key>
Sorted<Key> by_reference(std::vector<Key> keys, int32_t *nesting = nullptr)
{
    Ints ind = identity(keys.size());
    int32_t max_depth = 0;
    reference_qs(keys.data(), 0, (int32_t)keys.size() - 1, ind.data(), 1, max_depth);
    if (nesting)
        *nesting = max_depth;
    return {keys, ind};
}

bool same_key(int32_t a, int32_t b) { return a == b; }
bool same_key(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

template <typename Key>
void expect_identical(const Sorted<Key> &a, const Sorted<Key> &b, const char *what)
{
    ASSERT_EQ(a.keys.size(), b.keys.size()) << what;
    for (size_t k = 0; k < a.keys.size(); k++) {
        ASSERT_TRUE(same_key(a.keys[k], b.keys[k])) << what << ": key at " << k;
        ASSERT_EQ(a.ind[k], b.ind[k]) << what << ": index at " << k;
    }
}

// p_ind is a permutation of 0..n-1 and names where each sorted key came
// from; without NaN the keys ascend.
template <typename Key>
void expect_valid_sort(const std::vector<Key> &input, const Sorted<Key> &out, bool has_nan)
{
    ASSERT_EQ(out.keys.size(), input.size());
    std::vector<bool> seen(input.size(), false);
    for (size_t k = 0; k < out.keys.size(); k++) {
        int32_t from = out.ind[k];
        ASSERT_TRUE(from >= 0 && (size_t)from < input.size() && !seen[from]) << "index " << from;
        seen[from] = true;
        ASSERT_TRUE(same_key(out.keys[k], input[from])) << "key at " << k;
        if (!has_nan && k > 0) {
            ASSERT_LE(out.keys[k - 1], out.keys[k]) << "order at " << k;
        }
    }
}

// Random keys of a given spread (a small spread means many equal keys),
// sorted, reverse-sorted or all equal.
enum Shape { kRandom, kAscending, kDescending, kAllEqual };

Ints make_ints(size_t n, Shape shape, int32_t spread, std::mt19937 &gen)
{
    std::uniform_int_distribution<int32_t> pick(-spread, spread);
    Ints v(n);
    for (size_t k = 0; k < n; k++) {
        switch (shape) {
        case kRandom: v[k] = pick(gen); break;
        case kAscending: v[k] = (int32_t)k * 3 - 1000; break;
        case kDescending: v[k] = 1000 - (int32_t)k * 3; break;
        case kAllEqual: v[k] = 7; break;
        }
    }
    return v;
}

Doubles make_doubles(size_t n, int32_t spread, double nan_share, std::mt19937 &gen)
{
    std::uniform_int_distribution<int32_t> pick(-spread, spread);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    Doubles v(n);
    for (double &d : v)
        d = chance(gen) < nan_share ? kNaN : pick(gen) * 0.25;
    return v;
}

// ---------------------------------------------------------------------------
// Exact arrangements

TEST(Quicksort, empty_count_reads_no_element)
{
    l_quicksort(nullptr, 0, nullptr);
    d_quicksort(nullptr, 0, nullptr);
    l_parallel_quicksort(nullptr, 0, nullptr);
    d_parallel_quicksort(nullptr, 0, nullptr);
    l_qs(nullptr, 5, 4, nullptr);
    d_qs(nullptr, 5, 4, nullptr);
    l_parallel_qs(nullptr, 5, 4, nullptr, 15);
    d_parallel_qs(nullptr, 5, 4, nullptr, -1);
}

struct IntCase {
    Ints keys;
    Ints sorted;
    Ints ind;
};

TEST(Quicksort, small_inputs_end_in_the_defined_arrangement)
{
    const IntCase cases[] = {
        {{42}, {42}, {0}},
        {{3, 1, 2}, {1, 2, 3}, {1, 2, 0}},
        {{9, 9}, {9, 9}, {1, 0}},
        {{5, 5, 5}, {5, 5, 5}, {2, 1, 0}},
        {{2, 2, 1, 1}, {1, 1, 2, 2}, {2, 3, 0, 1}},
        {{-3, 10, -3, 0}, {-3, -3, 0, 10}, {2, 0, 3, 1}},
        {{1, 2, 3, 4}, {1, 2, 3, 4}, {0, 1, 2, 3}},
        {{4, 3, 2, 1}, {1, 2, 3, 4}, {3, 2, 1, 0}},
        {{INT32_MAX, INT32_MIN, 0}, {INT32_MIN, 0, INT32_MAX}, {1, 2, 0}},
    };
    for (const IntCase &c : cases) {
        Sorted<int32_t> plain = sorted_by(l_quicksort, c.keys);
        EXPECT_EQ(plain.keys, c.sorted);
        EXPECT_EQ(plain.ind, c.ind);
        expect_identical(plain, sorted_by(l_parallel_quicksort, c.keys), "depth-counting");

        Doubles d(c.keys.begin(), c.keys.end());
        Sorted<double> dplain = sorted_by(d_quicksort, d);
        EXPECT_EQ(dplain.keys, Doubles(c.sorted.begin(), c.sorted.end()));
        EXPECT_EQ(dplain.ind, c.ind);
        expect_identical(dplain, sorted_by(d_parallel_quicksort, d), "double depth-counting");
    }
}

TEST(Quicksort, nan_stops_both_scans_like_an_equal_key)
{
    Sorted<double> out = sorted_by(d_quicksort, {0.5, kNaN, -1.0});
    EXPECT_EQ(out.keys[0], -1.0);
    EXPECT_TRUE(std::isnan(out.keys[1]));
    EXPECT_EQ(out.keys[2], 0.5);
    EXPECT_EQ(out.ind, (Ints{2, 1, 0}));
    expect_identical(out, sorted_by(d_parallel_quicksort, {0.5, kNaN, -1.0}), "depth-counting");
}

TEST(Quicksort, carries_whatever_the_index_array_holds)
{
    Ints keys = {30, 10, 20}, ind = {-7, 1000, 5};
    l_quicksort(keys.data(), 3, ind.data());
    EXPECT_EQ(ind, (Ints{1000, 5, -7}));
}

TEST(Quicksort, range_sort_leaves_elements_outside_the_range)
{
    Ints keys = {9, 8, 7, 6, 5, 4}, ind = identity(6);
    l_qs(keys.data(), 1, 4, ind.data());
    EXPECT_EQ(keys, (Ints{9, 5, 6, 7, 8, 4}));
    EXPECT_EQ(ind, (Ints{0, 4, 3, 2, 1, 5}));

    Doubles dkeys = {9, 8, 7, 6, 5, 4};
    ind = identity(6);
    d_parallel_qs(dkeys.data(), 2, 5, ind.data(), 1);
    EXPECT_EQ(dkeys, (Doubles{9, 8, 4, 5, 6, 7}));
    EXPECT_EQ(ind, (Ints{0, 1, 5, 4, 3, 2}));
}

// ---------------------------------------------------------------------------
// Randomized: the exact arrangement of plain recursion, and what every
// result must satisfy, for both key types and both families.

TEST(Quicksort, random_integers_match_plain_recursion_in_every_family)
{
    std::mt19937 gen(20240601);
    for (int round = 0; round < 300; round++) {
        size_t n = gen() % 600;
        Shape shape = (Shape)(round % 4);
        int32_t spread = round % 3 == 0 ? 3 : 1000000;
        Ints input = make_ints(n, shape, spread, gen);
        Sorted<int32_t> expected = by_reference(input);
        Sorted<int32_t> plain = sorted_by(l_quicksort, input);
        expect_valid_sort(input, plain, false);
        expect_identical(expected, plain, "l_quicksort");
        expect_identical(expected, sorted_by(l_parallel_quicksort, input), "l_parallel_quicksort");
    }
}

TEST(Quicksort, random_doubles_with_nan_match_plain_recursion_in_every_family)
{
    std::mt19937 gen(77);
    for (int round = 0; round < 300; round++) {
        size_t n = gen() % 600;
        double nan_share = round % 2 ? 0.0 : 0.1;
        Doubles input = make_doubles(n, round % 3 == 0 ? 4 : 100000, nan_share, gen);
        Sorted<double> expected = by_reference(input);
        Sorted<double> plain = sorted_by(d_quicksort, input);
        expect_valid_sort(input, plain, nan_share > 0.0);
        expect_identical(expected, plain, "d_quicksort");
        expect_identical(expected, sorted_by(d_parallel_quicksort, input), "d_parallel_quicksort");
    }
}

TEST(Quicksort, any_depth_gives_the_same_arrangement)
{
    std::mt19937 gen(5);
    Ints input = make_ints(5000, kRandom, 50, gen);
    Sorted<int32_t> expected = sorted_by(l_quicksort, input);
    for (int32_t deep : {INT32_MIN, -1, 0, 1, 2, 15, 40, INT32_MAX}) {
        Sorted<int32_t> out{input, identity(input.size())};
        l_parallel_qs(out.keys.data(), 0, (int32_t)input.size() - 1, out.ind.data(), deep);
        expect_identical(expected, out, "l_parallel_qs");

        Doubles d(input.begin(), input.end());
        Ints ind = identity(d.size());
        d_parallel_qs(d.data(), 0, (int32_t)d.size() - 1, ind.data(), deep);
        EXPECT_EQ(ind, expected.ind) << "d_parallel_qs, deep " << deep;
    }
}

TEST(Quicksort, a_million_keys_sort_the_same_in_both_families)
{
    std::mt19937 gen(11);
    Ints input = make_ints(1 << 20, kRandom, 1 << 24, gen);
    Sorted<int32_t> plain = sorted_by(l_quicksort, input);
    expect_valid_sort(input, plain, false);
    expect_identical(plain, sorted_by(l_parallel_quicksort, input), "l_parallel_quicksort");

    Doubles dinput = make_doubles(1 << 20, 1 << 24, 0.0, gen);
    Sorted<double> dplain = sorted_by(d_quicksort, dinput);
    expect_valid_sort(dinput, dplain, false);
    expect_identical(dplain, sorted_by(d_parallel_quicksort, dinput), "d_parallel_quicksort");
}

// ---------------------------------------------------------------------------
// Bounded nesting

// Keys whose middle element is the maximum of every range the sort meets:
// each split leaves a left part one element shorter than the range, so plain
// recursion into the left part would nest once per element.
Ints middle_pivot_killer(int32_t n)
{
    Ints slot = identity(n), keys(n);
    for (int32_t k = n - 1; k >= 1; k--) {
        keys[slot[k / 2]] = k;
        std::swap(slot[k / 2], slot[k]);
    }
    keys[slot[0]] = 0;
    return keys;
}

// Runs `sort` on a thread with a 256 KiB stack, in a child process so that a
// stack overflow shows as a failed status rather than ending the tests.
int status_with_small_stack(void (*sort)())
{
    return run_in_child([sort] {
               pthread_attr_t attr;
               pthread_attr_init(&attr);
               pthread_attr_setstacksize(&attr, 256 * 1024);
               pthread_t t;
               auto body = [](void *f) -> void * {
                   ((void (*)())f)();
                   return nullptr;
               };
               pthread_create(&t, &attr, body, (void *)sort);
               pthread_join(t, nullptr);
           })
        .status;
}

const int32_t kKillerSize = 20000;

void sort_killer_plain()
{
    Ints keys = middle_pivot_killer(kKillerSize), ind = identity(kKillerSize);
    l_quicksort(keys.data(), kKillerSize, ind.data());
    Doubles d(keys.begin(), keys.end());
    d_quicksort(d.data(), kKillerSize, ind.data());
}

void sort_killer_depth_counting()
{
    Ints keys = middle_pivot_killer(kKillerSize), ind = identity(kKillerSize);
    l_parallel_qs(keys.data(), 0, kKillerSize - 1, ind.data(), -1);
    Doubles d(keys.begin(), keys.end());
    d_parallel_qs(d.data(), 0, kKillerSize - 1, ind.data(), INT32_MAX);
}

TEST(Quicksort, killer_input_makes_plain_recursion_nest_once_per_element)
{
    Ints input = middle_pivot_killer(2000);
    int32_t nesting = 0;
    Sorted<int32_t> expected = by_reference(input, &nesting);
    EXPECT_GE(nesting, 1999);
    expect_valid_sort(input, expected, false);
    expect_identical(expected, sorted_by(l_quicksort, input), "l_quicksort");
    expect_identical(expected, sorted_by(l_parallel_quicksort, input), "l_parallel_quicksort");
}

TEST(Quicksort, plain_sort_nesting_stays_bounded_on_a_killer_input)
{
    EXPECT_EQ(status_with_small_stack(sort_killer_plain), 0);
}

TEST(Quicksort, depth_counting_nesting_stays_bounded_on_a_killer_input)
{
    EXPECT_EQ(status_with_small_stack(sort_killer_depth_counting), 0);
}

}  // namespace
